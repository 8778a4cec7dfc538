// update.log: the line format, lines kept until the work folder exists, failed writes, and a
// whole run's steps.

#include <gtest/gtest.h>

#include "app/file_run_log.h"
#include "app/update_run.h"
#include "fake_platform.h"

namespace {

TEST(LogLine, StampsTheTimeAndKeepsEachStepOnOneLine) {
    const app::LogTime time{2026, 12, 7, 1, 5, 9, 42};
    const std::pair<std::u16string, std::string> cases[] = {
        {u"plain", "2026-12-07 01:05:09.042 plain\r\n"},
        {u"正在下载更新…", "2026-12-07 01:05:09.042 正在下载更新…\r\n"},
        // Text from a launch string or a server cannot forge lines of its own.
        {u"a\r\n2026-01-01 00:00:00.000 forged\tb\x7f",
         "2026-12-07 01:05:09.042 a  2026-01-01 "
         "00:00:00.000 forged b \r\n"},
        {u"\U0001F600 \xD800x \xDC00",
         "2026-12-07 01:05:09.042 \xF0\x9F\x98\x80 \xEF\xBF\xBDx "
         "\xEF\xBF\xBD\r\n"},
    };
    for (const auto& [text, line] : cases) EXPECT_EQ(app::LogLine(time, text), line);
}

TEST(FileRunLog, KeepsEarlyLinesAndRetriesAFailedWriteWithoutLosingLines) {
    std::string file;
    bool diskFull = false;
    std::u16string writtenTo;
    app::FileRunLog log([] { return app::LogTime{2026, 1, 2, 3, 4, 5, 6}; },
                        [&](const std::u16string& path, std::string_view bytes) {
                            writtenTo = path;
                            if (diskFull) return false;
                            file += bytes;
                            return true;
                        });
    log.Write(u"before");
    EXPECT_EQ(file, "");  // no folder yet
    log.UseFolder(u"C:\\T\\UpdateTemp1\\");
    EXPECT_EQ(writtenTo, u"C:\\T\\UpdateTemp1\\update.log");
    diskFull = true;
    log.Write(u"lost?");
    diskFull = false;
    log.Write(u"after");
    EXPECT_EQ(file,
              "2026-01-02 03:04:05.006 before\r\n2026-01-02 03:04:05.006 lost?\r\n"
              "2026-01-02 03:04:05.006 after\r\n");
}

// The steps a run writes, in order, each found by a piece of its line.
TEST(RunLog, NamesEachStepOfARun) {
    const std::string manifest =
        "<config><update version=\"2.4\" type=\"0\" run=\"App.exe\"/><UpdateExe><item "
        "name=\"app.7z\" url=\"http://srv/app.7z\"/></UpdateExe></config>";
    constexpr auto kDone = app::TransferEnd::Done;
    const struct {
        std::string what, body;
        int answer;
        app::TransferEnd window;
        std::vector<std::u16string> steps;
    } cases[] = {
        {"applied",
         manifest,
         6,
         kDone,
         {u"updater 1.0.0.0, launch string: 2.2#920#http://srv/update.xml", u"work folder ",
          u"manifest http://srv/update.xml: HTTP 200, length ", u"retries 0, ",
          u"manifest offers version 2.4", u"manifest verdict: archive package",
          u"offer: app.7z from http://srv/app.7z; answer 6 (Yes)",
          u"package http://srv/app.7z: HTTP 200, length 3, received 3", u"package deleted",
          u"outcome: archive applied"}},
        {"declined", manifest, 7, kDone, {u"answer 7 (not Yes)", u"outcome: declined"}},
        {"cancelled",
         manifest,
         6,
         app::TransferEnd::Cancelled,
         {u"package download cancelled by the user; partial package deleted",
          u"outcome: cancelled, nothing applied"}},
        {"stalled",
         manifest,
         6,
         app::TransferEnd::Stalled,
         {u"package http://srv/app.7z: failed: Stalled (less than 1 KiB in 60 s); partial "
          u"package deleted",
          u"outcome: failed"}},
        {"unreadable", "<config><update", 6, kDone, {u"manifest unreadable: ", u"outcome: failed"}},
        {"missing",
         "",
         6,
         kDone,
         {u"manifest http://srv/update.xml: HTTP 404, length -1, received 0, retries 0",
          u"failed: NotFound", u"outcome: failed"}},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        if (!c.body.empty()) platform.net.bodies[u"srv/update.xml"] = c.body;
        platform.net.bodies[u"srv/app.7z"] = "7z!";
        platform.answer = c.answer;
        platform.windowEnds = c.window;
        platform.ArchiverSucceeds();
        app::UpdateContext context;
        app::RunAndReport(u"2.2#920#http://srv/update.xml", context, platform);
        const auto& lines = platform.runLog.lines;
        auto at = lines.begin();
        for (const std::u16string& step : c.steps) {
            at = std::find_if(at, lines.end(), [&](const std::u16string& line) {
                return line.find(step) != std::u16string::npos;
            });
            ASSERT_NE(at, lines.end()) << c.what << ": " << apptest::Utf8(step);
        }
    }
}

}  // namespace
