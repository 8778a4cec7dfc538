// Putting a downloaded package in place: whatever goes wrong after the host was told, the
// application folder stays as it was, the failure box shows, and the run target still starts.

#include "app/apply_update.h"

#include <gtest/gtest.h>

#include "whole_run.h"

namespace {

using State = app::HiddenRun::State;
using Wait = app::WaitResult;

TEST(ApplyUpdate, OnlyACleanUnpackAndSwapChangeTheFolderAndEveryFailureIsReported) {
    const struct {
        const char* what;
        State archiver;
        std::uint32_t exitCode;
        bool appInUse;
        Wait host;
        bool applied;
    } cases[] = {
        {"archiver missing", State::NotStarted, 0, false, Wait::Ended, false},
        {"archiver ended at the limit", State::TimedOut, 0, false, Wait::Ended, false},
        {"damaged or encrypted archive", State::Ended, 2, false, Wait::Ended, false},
        {"archiver warnings", State::Ended, 1, false, Wait::Ended, false},
        {"host still holds its program", State::Ended, 0, true, Wait::StillRunning, false},
        {"host gone in time", State::Ended, 0, false, Wait::Ended, true},
        {"host wait failed, files free", State::Ended, 0, false, Wait::Failed, true},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        apptest::FakeFileSystem& files = platform.files;
        files.AddFolder(u"T:\\work");
        files.AddFolder(u"C:\\App");
        files.AddFile(u"C:\\App\\App.exe", "old");
        files.AddFile(u"C:\\App\\user.ini", "mine");
        if (c.appInUse) files.inUse[u"C:\\App\\App.exe"] = 1000;
        const auto before = files.Under(u"C:\\App");
        platform.archiverRun = {c.archiver, c.exitCode, 2};
        platform.hostWait = c.host;
        platform.unpack = [&files] {
            files.AddFile(u"T:\\work\\stage\\App.exe", "new");
            files.AddFolder(u"T:\\work\\stage\\docs");
            files.AddFile(u"T:\\work\\stage\\docs\\readme.txt", "readme");
        };
        app::UpdateContext context;
        context.hostWindow = 920;
        context.runTarget = u"App.exe";
        context.workFolder = u"T:\\work\\";
        const app::HostLookup host = platform.OpenWindowProcess(context.hostWindow);
        EXPECT_EQ(app::ApplyUpdate(platform, context, app::ManifestResult::ArchivePackage,
                                   u"C:\\App\\", u"T:\\work\\app.7z", host.process.get()),
                  c.applied)
            << c.what;

        const auto after = files.Under(u"C:\\App");
        if (c.applied) {
            EXPECT_EQ(after.size(), before.size() + 2) << c.what;
            EXPECT_EQ(after.at(u"App.exe").content, "new") << c.what;
            EXPECT_EQ(after.at(u"user.ini").content, "mine") << c.what;
        } else {
            EXPECT_EQ(after, before) << c.what;
        }
        // The host is told before anything else happens; the run target starts last, after
        // the failure box when there is one.
        ASSERT_GE(platform.log.size(), 3u) << c.what;
        EXPECT_EQ(platform.log.front(), "send 920 1127") << c.what;
        EXPECT_EQ(platform.log[2],
                  "run C:\\App\\7z.exe | 7z x \"T:\\work\\app.7z\" "
                  "-o\"T:\\work\\stage\\\" -aoa -y")
            << c.what;
        EXPECT_EQ(platform.archiverLimitMs, 10u * 60 * 1000);
        EXPECT_EQ(platform.log.end()[-2] == apptest::kFail, !c.applied) << c.what;
        EXPECT_EQ(platform.log.back(), "open C:\\App\\App.exe") << c.what;
    }
}

}  // namespace
