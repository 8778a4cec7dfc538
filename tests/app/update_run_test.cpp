// Whole runs over the recording platform: which boxes, downloads, messages and starts happen,
// in which order and with which arguments.

#include "app/update_run.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

// One line a call, with the temporary folder shown as %TEMP%\.
std::string Transcript(const apptest::FakePlatform& platform) {
    const std::string temp = apptest::Utf8(platform.tempPath);
    std::string text;
    for (const std::string& line : platform.log) text += line + "\n";
    for (std::size_t at; (at = text.find(temp)) != std::string::npos;) {
        text.replace(at, temp.size(), "%TEMP%\\");
    }
    return text;
}

TEST(RunAndReport, BoxesDownloadsAndStartsInOrder) {
    const std::u16string launch = u"2.2#920#http://srv/update.xml";
    const std::string get = "GET srv/update.xml\n", notify = "send 920 1127\npause 1000\n";
    const std::string ask = "box 920 发现新版本，是否立即更新？ 信息： 36\n";
    const std::string failed = "box 920 更新失败，请稍后重试 出错了： 16\n";
    const std::string work = "%TEMP%\\UpdateTemp1700000000\\";
    const struct {
        std::u16string launch;
        std::string type, name;  // of the offered package, served unless named "gone.7z"
        int answer;
        std::string transcript;
    } cases[] = {
        {u"2.0#123", "0", "app.7z", 6, "box 0 参数错误！ 出错了： 16\n"},
        {u"2.2#920#http://srv/none.xml", "0", "app.7z", 6, "GET srv/none.xml\n" + failed},
        {u"2.4#-7#http://srv/update.xml", "0", "app.7z", 6,
         get + "box -7 当前已经是最新版本，无需更新 信息： 64\n"},
        {launch, "0", "app.7z", app::kAnswerNo, get + ask},
        {launch, "0", "gone.7z", 6, get + ask + "GET srv/gone.7z\n" + failed},
        // A name from the server that leaves the work folder fails before the question.
        {launch, "1", "pkg\\..\\..\\up.exe", 6, get + failed},
        // A box that cannot be shown, owned or not, asked nobody: nothing is fetched.
        {launch, "0", "app.7z", 0, get + ask + "box 0 发现新版本，是否立即更新？ 信息： 36\n"},
        {launch, "1", "pkg\\Setup.exe", 6,
         get + ask + "GET srv/pkg\\Setup.exe\n" + notify + "open " + work + "pkg\\Setup.exe\n"},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        platform.archiverStarts = false;
        platform.answer = c.answer;
        const std::u16string name(c.name.begin(), c.name.end());
        if (c.name != "gone.7z") platform.net.bodies[u"srv/" + name] = "package bytes";
        platform.net.bodies[u"srv/update.xml"] =
            "<config><update version=\"2.4\" type=\"" + c.type + "\" run=\"bin\\App.exe\"/>" +
            "<UpdateInstall name=\"" + c.name + "\" url=\"http://srv/" + c.name + "\"/>" +
            "<UpdateExe><item name=\"" + c.name + "\" url=\"http://srv/" + c.name +
            "\"/></UpdateExe></config>";
        app::UpdateContext context;
        app::RunAndReport(c.launch, context, platform);
        EXPECT_EQ(Transcript(platform), c.transcript);
        // The package is stored, in the work folder, exactly when it is applied.
        const std::u16string stored = platform.tempPath + u"UpdateTemp1700000000\\" + name;
        EXPECT_EQ(std::filesystem::exists(platform.net.Linux(stored).lexically_normal()),
                  c.transcript.find("\nopen ") != std::string::npos)
            << c.name;
    }
}

// What stays in the work folder: a cancel, a stall or an unpacked archive leaves no package, an
// installer keeps its own; a second updater for the same folder does nothing at all.
TEST(RunAndReport, CancelOtherUpdaterAndWhatStaysInTheWorkFolder) {
    const std::string ask = "GET srv/update.xml\nbox 920 发现新版本，是否立即更新？ 信息： 36\n";
    const std::string failed = "box 920 更新失败，请稍后重试 出错了： 16\n";
    constexpr auto kDone = app::TransferEnd::Done;
    const struct {
        std::string what, type;
        app::TransferEnd window;
        bool otherUpdater;
        std::string transcript;
        bool packageStays, workFolderMade;
    } cases[] = {
        {"cancel", "0", app::TransferEnd::Cancelled, false, ask + "GET srv/app.7z\n", false, true},
        {"stall", "0", app::TransferEnd::Stalled, false, ask + "GET srv/app.7z\n" + failed, false,
         true},
        {"other updater", "0", kDone, true, "", false, false},
        {"archive", "0", kDone, false, "", false, true},
        {"installer", "1", kDone, false, "", true, true},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        platform.windowEnds = c.window;
        platform.otherUpdaterRuns = c.otherUpdater;
        platform.ArchiverSucceeds();
        platform.net.bodies[u"srv/app.7z"] = "package bytes";
        platform.net.bodies[u"srv/update.xml"] =
            "<config><update version=\"2.4\" type=\"" + c.type + "\" run=\"App.exe\"/>" +
            "<UpdateInstall name=\"app.7z\" url=\"http://srv/app.7z\"/><UpdateExe><item "
            "name=\"app.7z\" url=\"http://srv/app.7z\"/></UpdateExe></config>";
        app::UpdateContext context;
        app::RunAndReport(u"2.2#920#http://srv/update.xml", context, platform);
        if (!c.transcript.empty() || c.otherUpdater) {
            EXPECT_EQ(Transcript(platform), c.transcript) << c.what;
        }
        const std::u16string work = platform.tempPath + u"UpdateTemp1700000000\\";
        EXPECT_EQ(std::filesystem::exists(platform.net.Linux(work + u"app.7z")), c.packageStays)
            << c.what;
        EXPECT_EQ(std::filesystem::exists(platform.net.Linux(work + u"update.xml")),
                  c.workFolderMade)
            << c.what;
        // The emptied stage goes with the package.
        EXPECT_EQ(platform.removedFolders == std::vector<std::u16string>{work + u"stage"},
                  c.what == "archive")
            << c.what;
    }
}

}  // namespace
