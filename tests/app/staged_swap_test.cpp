// The swap over a file system that fails one call at a time: whichever call fails, the
// application folder ends up either wholly updated or exactly as it was.

#include "app/staged_swap.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

using Tree = apptest::FakeFileSystem::Tree;

const app::SwapFolders kFolders{u"T:\\work\\stage\\", u"C:\\App\\", u"C:\\App\\UpdateBackup1\\"};

// An application folder with files the update replaces, leaves alone and turns into folders,
// and an update that adds nested folders.
void Prepare(apptest::FakeFileSystem& files) {
    for (const char16_t* folder :
         {u"T:\\work", u"T:\\work\\stage", u"C:\\App", u"C:\\App\\lib", u"C:\\App\\lib\\keep"}) {
        files.AddFolder(folder);
    }
    files.AddFile(u"C:\\App\\App.exe", "old exe");
    files.AddFile(u"C:\\App\\data.txt", "old data");
    files.AddFile(u"C:\\App\\user.ini", "settings");
    files.AddFile(u"C:\\App\\lib\\a.dll", "old a");
    files.AddFile(u"C:\\App\\lib\\keep\\k.txt", "kept");
    files.AddFile(u"C:\\App\\notes", "a file where the update has a folder");
    for (const char16_t* folder : {u"lib", u"docs", u"notes", u"plugins", u"plugins\\x"}) {
        files.AddFolder(kFolders.stage + folder);
    }
    files.AddFile(kFolders.stage + u"App.exe", "new exe");
    files.AddFile(kFolders.stage + u"data.txt", "new data");
    files.AddFile(kFolders.stage + u"lib\\a.dll", "new a");
    files.AddFile(kFolders.stage + u"lib\\b.dll", "new b");
    files.AddFile(kFolders.stage + u"docs\\readme.txt", "readme");
    files.AddFile(kFolders.stage + u"notes\\1.txt", "note");
    files.AddFile(kFolders.stage + u"plugins\\x\\y.txt", "y");
}

Tree Updated() {
    return {{u"App.exe", {false, "new exe"}},
            {u"data.txt", {false, "new data"}},
            {u"user.ini", {false, "settings"}},
            {u"lib", {true, ""}},
            {u"lib\\a.dll", {false, "new a"}},
            {u"lib\\b.dll", {false, "new b"}},
            {u"lib\\keep", {true, ""}},
            {u"lib\\keep\\k.txt", {false, "kept"}},
            {u"docs", {true, ""}},
            {u"docs\\readme.txt", {false, "readme"}},
            {u"notes", {true, ""}},
            {u"notes\\1.txt", {false, "note"}},
            {u"plugins", {true, ""}},
            {u"plugins\\x", {true, ""}},
            {u"plugins\\x\\y.txt", {false, "y"}}};
}

TEST(SwapInStagedTree, AnyOneFailingCallLeavesTheFolderWhollyNewOrAsItWas) {
    // Disk full, a path too long, a folder gone.
    for (const std::uint32_t error : {112u, 206u, 3u}) {
        bool failedOnce = false;
        for (int failAt = 1;; ++failAt) {
            apptest::FakePlatform platform;
            apptest::FakeFileSystem& files = platform.files;
            Prepare(files);
            const Tree before = files.Under(kFolders.target);
            files.failAt = failAt;
            files.failError = error;
            const bool applied = app::SwapInStagedTree(platform, kFolders);
            const bool hit = files.calls >= failAt;
            Tree after = files.Under(kFolders.target);
            if (applied) {
                // Only removing the backups may have failed: the update is whole regardless.
                std::erase_if(after, [](const auto& e) { return e.first.starts_with(u"Update"); });
                EXPECT_EQ(after, Updated()) << "error " << error << " at call " << failAt;
            } else {
                EXPECT_EQ(after, before) << "error " << error << " at call " << failAt;
                failedOnce = true;
            }
            if (!hit) {
                EXPECT_TRUE(applied);
                EXPECT_EQ(files.Under(kFolders.target), Updated()) << "backups left behind";
                break;
            }
        }
        EXPECT_TRUE(failedOnce);
    }
}

TEST(SwapInStagedTree, FilesInUseAreRetriedForACoupleOfSecondsThenRolledBack) {
    for (const int busyCalls : {3, app::kInUseRetries, 1000}) {
        apptest::FakePlatform platform;
        Prepare(platform.files);
        const Tree before = platform.files.Under(kFolders.target);
        platform.files.inUse[u"C:\\App\\lib\\a.dll"] = busyCalls;
        const bool applied = app::SwapInStagedTree(platform, kFolders);
        EXPECT_EQ(applied, busyCalls <= app::kInUseRetries) << busyCalls;
        EXPECT_EQ(platform.files.Under(kFolders.target), applied ? Updated() : before);
        if (!applied) {
            EXPECT_EQ(platform.log.size(), static_cast<std::size_t>(app::kInUseRetries));
            EXPECT_GE(app::kInUseRetries * app::kInUseRetryPauseMs, 2000u);
        }
    }
}

}  // namespace
