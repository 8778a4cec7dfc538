// Unattended and scripted runs: the launch string's option field, the exit code of every
// outcome, and release notes under the question.

#include <gtest/gtest.h>

#include "app/run/launch_string.h"
#include "app/user/notes.h"
#include "whole_run.h"

namespace {

using apptest::kAsk;
using apptest::Utf8;

TEST(LaunchOptions, WordsAndNumbersOfAnOptionField) {
    const struct {
        std::u16string launch;
        bool given, silent, check, read;
        std::vector<std::u16string> unknown = {};
    } cases[] = {
        {u"2.2#920#http://s/u.xml", false, false, false, true},
        {u"2.2#920#http://s/u.xml#", true, false, false, true},
        {u"2.2#920#http://s/u.xml# Silent ,,x#check", true, true, false, true, {u"x"}},
        {u"2.2#920#http://s/u.xml#silent,CHECK", true, false, true, true},
        // With an option field the numbers must be whole numbers; without one they never were.
        {u"2.2x#920#http://s/u.xml#silent", true, true, false, false},
        {u"2.2#0x10#http://s/u.xml#", true, false, false, false},
        {u"2.2#-5#http://s/u.xml#", true, false, false, true},
        {u"2.2x#0x10#http://s/u.xml", false, false, false, true},
    };
    for (const auto& c : cases) {
        const app::LaunchOptions options = app::OptionsOf(c.launch);
        EXPECT_EQ(std::tie(options.given, options.silent, options.check, options.unknown),
                  std::tie(c.given, c.silent, c.check, c.unknown))
            << Utf8(c.launch);
        EXPECT_EQ(app::ReadLaunchString(c.launch).has_value(), c.read) << Utf8(c.launch);
    }
}

TEST(ExitCodes, TellTheOutcomeOnlyWithAnOptionField) {
    const std::u16string address = u"#920#http://srv/update.xml",
                         silent = u"2.2" + address + u"#silent";
    const std::string get = "GET srv/update.xml", ask = get + "; " + kAsk;
    const std::string applied = get + "; GET srv/app.7z; told; unpack; start C:\\App\\App.exe";
    const struct {
        const char* what;
        std::u16string launch;
        bool declines, otherUpdater, archiverFails;
        int exitCode;
        std::string seen, manifest = apptest::Offer("app.7z");
    } cases[] = {
        {"plain run", u"2.2" + address, true, false, false, 0, ask},
        {"declined", u"2.2" + address + u"#", true, false, false, 5, ask},
        {"updated silently", silent, false, false, false, 0, applied},
        {"failed silently", silent, false, false, true, 1, applied + "; package left"},
        {"on offer", u"2.2" + address + u"#check", false, false, false, 4, get},
        {"up to date", u"2.4" + address + u"#check,silent", false, false, false, 0, get},
        {"refused manifest", u"2.2" + address + u"#check", false, false, false, 1, get, "<config>"},
        {"bad number", u"2.2x" + address + u"#silent", false, false, false, 2, ""},
        {"another updater", silent, false, true, false, 3, ""},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        run.processes.archiverRun = {app::HiddenRun::State::Ended, c.archiverFails ? 2u : 0u, 0};
        if (c.declines) run.desktop.answer = {app::BoxAnswer::Button::NotYes, 7};
        run.processes.otherUpdaterRuns = c.otherUpdater;
        run.net.bodies[u"srv/update.xml"] = c.manifest;
        run.net.bodies[u"srv/app.7z"] = "package bytes";
        EXPECT_EQ(apptest::RunWhole(run, c.launch), c.seen) << c.what;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what;
        // A silent download has no window.
        if (c.launch.ends_with(u"#silent") && c.seen.find("app.7z") != std::string::npos) {
            EXPECT_EQ(run.desktop.progressOwners,
                      std::vector<std::int32_t>{apptest::FakeDesktop::kNoWindow})
                << c.what;
        }
    }
}

// Shown under the question in a whole run: the Wine suite's notes_under_the_question.
TEST(ReleaseNotes, FollowTheQuestionCleanedAndCut) {
    EXPECT_EQ(app::QuestionWithNotes(u"Q?", u""), u"Q?");
    EXPECT_EQ(app::QuestionWithNotes(u"Q?", u"\x01\r\n\t"), u"Q?\n\n\n");
    EXPECT_EQ(app::CleanNotes(u"a\r\nb\u0085\u202Ec"), u"a\nb\u202Ec");
    EXPECT_EQ(app::CleanNotes(std::u16string(1500, u'x')).size(), app::kLongestNotes);
    // A pair of surrogates is never cut in half.
    const std::u16string pairs = std::u16string(999, u'x') + u"\U0001F600";
    EXPECT_EQ(app::CleanNotes(pairs), std::u16string(999, u'x'));
}

}  // namespace
