// Whole runs over the recording platform: which boxes, downloads, messages and starts happen,
// in which order and with which arguments.

#include "app/update_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/apply_update.h"
#include "fake_platform.h"
#include "temp_folder.h"

namespace {

using Log = std::vector<std::string>;

const std::string kQuestion = "box 920 发现新版本，是否立即更新？ 信息： 36";
const std::string kFailedBox = "box 920 更新失败，请稍后重试 出错了： 16";

std::string ManifestFor(const std::string& type, const std::string& name) {
    return "<config><update version=\"2.4\" type=\"" + type +
           "\" run=\"bin\\App.exe\"/><UpdateInstall name=\"" + name +
           "\" url=\"http://srv/pkg\"/>" + "<UpdateExe><item name=\"" + name +
           "\" url=\"http://srv/pkg\"/></UpdateExe></config>";
}

class UpdateRunTest : public ::testing::Test {
  protected:
    UpdateRunTest() {
        platform.tempPath = temp.AsTempPath();
        work = apptest::ToUtf8(platform.tempPath) + "UpdateTemp1700000000\\";
        Serve("0", "app.7z");
        platform.net.bodies[u"srv/pkg"] = "package bytes";
    }
    void Serve(const std::string& type, const std::string& name) {
        platform.net.bodies[u"srv/update.xml"] = ManifestFor(type, name);
    }
    Log Run(const std::u16string& launchString) {
        app::UpdateContext context;
        app::RunAndReport(launchString, context, platform);
        return platform.log;
    }

    apptest::TempFolder temp;
    apptest::FakePlatform platform;
    std::string work;
    const std::u16string launch = u"2.2#920#http://srv/update.xml";
};

TEST_F(UpdateRunTest, EarlyEndsShowOneBoxEach) {
    EXPECT_EQ(Run(u""), Log{"box 0 参数错误！ 出错了： 16"});
    platform.log.clear();
    EXPECT_EQ(Run(u"2.0#123"), Log{"box 0 参数错误！ 出错了： 16"});
    platform.log.clear();
    EXPECT_EQ(Run(u"2.0#123#http://srv/none.xml"),
              (Log{"GET srv/none.xml", "box 123 更新失败，请稍后重试 出错了： 16"}));
    platform.log.clear();
    EXPECT_EQ(Run(u"2.4#-7#http://srv/update.xml"),
              (Log{"GET srv/update.xml", "box -7 当前已经是最新版本，无需更新 信息： 64"}));
    platform.log.clear();
    platform.net.bodies.erase(u"srv/pkg");
    EXPECT_EQ(Run(launch), (Log{"GET srv/update.xml", kQuestion, "GET srv/pkg", kFailedBox}));
}

TEST_F(UpdateRunTest, NoEndsTheRunSilentlyAndKeepsTheManifest) {
    platform.answers = {app::kAnswerNo};
    EXPECT_EQ(Run(launch), (Log{"GET srv/update.xml", kQuestion}));
    EXPECT_TRUE(std::filesystem::exists(temp.path / "UpdateTemp1700000000" / "update.xml"));
}

TEST_F(UpdateRunTest, ArchiveIsUnpackedOverTheAppFolderThenTheRunTargetStarts) {
    platform.answers = {0};  // a box that could not be shown counts as consent
    EXPECT_EQ(Run(launch),
              (Log{"GET srv/update.xml", kQuestion, "GET srv/pkg", "send 920 1127", "pause 1000",
                   "run C:\\App\\7z.exe | 7z x \"" + work + "app.7z\" -o\"C:\\App\\\" -aoa",
                   "open C:\\App\\bin\\App.exe"}));
    EXPECT_TRUE(std::filesystem::exists(temp.path / "UpdateTemp1700000000" / "app.7z"));
}

TEST_F(UpdateRunTest, WithoutTheArchiverTheRunTargetStillStarts) {
    platform.archiverStarts = false;
    EXPECT_EQ(Run(launch).back(), "open C:\\App\\bin\\App.exe");
}

TEST_F(UpdateRunTest, InstallerIsStartedFromTheWorkFolder) {
    Serve("1", "Setup.exe");
    EXPECT_EQ(Run(launch), (Log{"GET srv/update.xml", kQuestion, "GET srv/pkg", "send 920 1127",
                                "pause 1000", "open " + work + "Setup.exe"}));
}

TEST_F(UpdateRunTest, PackageInASubFolderIsStoredThere) {
    Serve("1", "pkg\\Setup.exe");
    EXPECT_EQ(Run(launch).back(), "open " + work + "pkg\\Setup.exe");
    EXPECT_TRUE(std::filesystem::exists(temp.path / "UpdateTemp1700000000" / "pkg" / "Setup.exe"));
}

TEST_F(UpdateRunTest, PackageNamesThatLeaveTheWorkFolderFailBeforeAnyDownload) {
    for (const std::string name : {"..\\escaped.7z", "pkg/../../escaped.7z", "C:\\escaped.7z"}) {
        for (const std::string type : {"0", "1"}) {
            platform.log.clear();
            Serve(type, name);
            EXPECT_EQ(Run(launch), (Log{"GET srv/update.xml", kFailedBox})) << name;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(temp.path / "escaped.7z"));
}

TEST(ApplyUpdate, ComposesTheArchiverCallAtAnyLength) {
    EXPECT_EQ(app::ArchiverCommandLine(u"C:\\Temp\\UpdateTemp1\\app.7z", u"C:\\App\\"),
              u"7z x \"C:\\Temp\\UpdateTemp1\\app.7z\" -o\"C:\\App\\\" -aoa");

    apptest::FakePlatform platform;
    app::UpdateContext context;  // empty run target: the shell gets the folder itself
    const std::u16string folder = u"C:\\" + std::u16string(300, u'a') + u"\\";
    const std::u16string package = u"C:\\" + std::u16string(300, u'p') + u".7z";
    app::ApplyUpdate(platform, context, app::ManifestResult::ArchivePackage, folder, package);
    EXPECT_EQ(platform.log,
              (Log{"send 0 1127", "pause 1000",
                   "run " + apptest::ToUtf8(folder) + "7z.exe | 7z x \"" +
                       apptest::ToUtf8(package) + "\" -o\"" + apptest::ToUtf8(folder) + "\" -aoa",
                   "open " + apptest::ToUtf8(folder)}));
}

}  // namespace
