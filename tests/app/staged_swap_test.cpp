// The swap over a file system that fails one call at a time: whichever call fails, the
// application folder ends up either wholly updated or exactly as it was.

#include "app/apply/staged_swap.h"

#include <gtest/gtest.h>

#include "fake_roles.h"

namespace {

using Tree = fakes::MemoryFileSystem::Tree;

const app::SwapFolders kFolders{u"T:\\work\\stage\\", u"C:\\App\\", u"C:\\App\\UpdateBackup1\\"};

// Adds each "path\" as a folder and each "path=content" as a file under root.
void Add(fakes::MemoryFileSystem& files, const std::u16string& root,
         std::initializer_list<std::u16string> entries) {
    for (const std::u16string& entry : entries) {
        const std::size_t is = entry.find(u'=');
        if (is == std::u16string::npos) files.AddFolder(root + entry);
        if (is != std::u16string::npos) {
            files.AddFile(root + entry.substr(0, is), apptest::Utf8(entry.substr(is + 1)));
        }
    }
}

// An application folder with files the update replaces, leaves alone and turns into folders,
// and an update that adds nested folders.
void Prepare(fakes::MemoryFileSystem& files) {
    Add(files, u"", {u"T:\\work\\", kFolders.stage});
    Add(files, kFolders.target,
        {u"", u"lib\\", u"lib\\keep\\", u"App.exe=old exe", u"data.txt=old data",
         u"user.ini=settings", u"lib\\a.dll=old a", u"lib\\keep\\k.txt=kept",
         u"notes=a file where the update has a folder"});
    Add(files, kFolders.stage,
        {u"lib\\", u"docs\\", u"notes\\", u"plugins\\", u"plugins\\x\\", u"App.exe=new exe",
         u"data.txt=new data", u"lib\\a.dll=new a", u"lib\\b.dll=new b", u"docs\\readme.txt=readme",
         u"notes\\1.txt=note", u"plugins\\x\\y.txt=y"});
}

Tree Updated() {
    fakes::MemoryFileSystem files;
    Add(files, u"A\\",
        {u"App.exe=new exe", u"data.txt=new data", u"user.ini=settings", u"lib\\",
         u"lib\\a.dll=new a", u"lib\\b.dll=new b", u"lib\\keep\\", u"lib\\keep\\k.txt=kept",
         u"docs\\", u"docs\\readme.txt=readme", u"notes\\", u"notes\\1.txt=note", u"plugins\\",
         u"plugins\\x\\", u"plugins\\x\\y.txt=y"});
    return files.Under(u"A");
}

TEST(SwapInStagedTree, AnyOneFailingCallLeavesTheFolderWhollyNewOrAsItWas) {
    // Disk full, a path too long, a folder gone.
    for (const base::FileResult error : {base::FileResult{base::FileError::DiskFull, 112},
                                         {base::FileError::Other, 206},
                                         {base::FileError::NotFound, 3}}) {
        bool failedOnce = false;
        for (int failAt = 1;; ++failAt) {
            apptest::FakeRun run;
            fakes::MemoryFileSystem& files = run.files;
            Prepare(files);
            const Tree before = files.Under(kFolders.target);
            files.failAt = failAt;
            files.failWith = error;
            const bool applied = app::SwapInStagedTree(run.roles, kFolders);
            const bool hit = files.calls >= failAt;
            Tree after = files.Under(kFolders.target);
            if (applied) {
                // Only removing the backups may have failed: the update is whole regardless.
                std::erase_if(after, [](const auto& e) { return e.first.starts_with(u"Update"); });
                EXPECT_EQ(after, Updated())
                    << "error " << error.systemCode << " at call " << failAt;
            } else {
                EXPECT_EQ(after, before) << "error " << error.systemCode << " at call " << failAt;
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
        apptest::FakeRun run;
        Prepare(run.files);
        const Tree before = run.files.Under(kFolders.target);
        run.files.inUse[u"C:\\App\\lib\\a.dll"] = busyCalls;
        const bool applied = app::SwapInStagedTree(run.roles, kFolders);
        EXPECT_EQ(applied, busyCalls <= app::kInUseRetries) << busyCalls;
        EXPECT_EQ(run.files.Under(kFolders.target), applied ? Updated() : before);
        if (!applied) {
            EXPECT_EQ(run.clock.pauses.size(), static_cast<std::size_t>(app::kInUseRetries));
            EXPECT_GE(app::kInUseRetries * app::kInUseRetryPauseMs, 2000u);
        }
    }
}

}  // namespace
