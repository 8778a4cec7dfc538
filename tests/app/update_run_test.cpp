// Whole runs: what the user is asked and told, what is fetched, whether the host hears of the
// package before anything starts, whether the archive is applied (only after a clean unpack;
// a host that does not end in time or cannot be waited for is no reason to stop) and kept (only
// once the new version started well), what is started, what stays in the work folder and
// beside the application, and the steps update.log names.

#include <gtest/gtest.h>

#include "app/apply/repair.h"
#include "whole_run.h"

namespace {

using apptest::kAsk;
using apptest::kFail;
using State = app::HiddenRun::State;
using Start = apptest::FakeProcesses::FakeStart;

TEST(RunAndReport, BoxesDownloadsStartsAndLoggedSteps) {
    const std::string get = "GET srv/update.xml; ", fetch = "; GET srv/app.7z";
    const std::string told = get + kAsk + fetch + "; told; unpack; ",
                      app = "start C:\\App\\App.exe";
    const std::string applied = told + app;
    const std::string notApplied = told + app + "; " + kFail + "; package left";
    const std::string unhealthy = told + app + "; " + app + "; " + kFail + "; package left";
    const struct {
        const char* what;
        std::u16string launch = u"2.2#920#http://srv/update.xml";
        std::string manifest = apptest::Offer("app.7z"), package = "app.7z";  // served
        app::BoxAnswer answer{app::BoxAnswer::Button::Yes, 6};
        app::TransferEnd window = app::TransferEnd::Done;  // how the progress window ended
        bool otherUpdater = false, watching = false, appInUse = false, noTempFolder = false,
             lockFails = false;          // the one-run lock cannot even be created
        std::vector<Start> starts = {};  // how the run target's starts go
        bool heldAfterStart = false;     // the new App.exe cannot be removed once started
        State archiver = State::Ended;
        std::uint32_t exitCode = 0;
        app::WaitResult host = app::WaitResult::Ended;
        std::string seen;
        std::string appExe = "";  // App.exe afterwards, once repaired; "": not compared
        std::vector<std::u16string> steps = {};  // pieces of update.log's lines, in order
    } cases[] = {
        {.what = "parameter error",
         .launch = u"2.0#123",
         .seen = apptest::Box(0, app::Text::ParameterError, app::Text::CaptionError, "error")},
        {.what = "manifest missing",
         .launch = u"2.2#920#http://srv/none.xml",
         .seen = "GET srv/none.xml; " + kFail,
         .steps = {u"manifest http://srv/none.xml: HTTP 404, length -1, received 0, retries 0",
                   u"failed: NotFound", u"outcome: failed"}},
        // No fresh work folder: the run fails rather than use one someone else may have laid out.
        {.what = "no work folder",
         .noTempFolder = true,
         .seen = kFail,
         .steps = {u"no fresh work folder could be made", u"outcome: failed"}},
        {.what = "manifest unreadable",
         .manifest = "<config><update",
         .seen = get + kFail,
         .steps = {u"manifest unreadable: ", u"outcome: failed"}},
        {.what = "up to date",
         .launch = u"2.4#-7#http://srv/update.xml",
         .seen = get + apptest::Box(-7, app::Text::UpToDate, app::Text::CaptionInformation,
                                    "information")},
        {.what = "declined",
         .answer = {app::BoxAnswer::Button::NotYes, 7},
         .seen = get + kAsk,
         .steps = {u"answer 7 (not Yes)", u"outcome: declined"}},
        // A box that cannot be shown, owned or not, asked nobody: nothing is fetched.
        {.what = "box not shown",
         .answer = {},
         .seen =
             get + kAsk + "; " +
             apptest::Box(0, app::Text::NewerVersion, app::Text::CaptionInformation, "question")},
        {.what = "package missing", .package = "", .seen = get + kAsk + fetch + "; " + kFail},
        // A name from the server that leaves the work folder fails before the question.
        {.what = "name leaves the work folder",
         .manifest = apptest::Offer("pkg\\..\\..\\up.exe", "1"),
         .package = "pkg\\..\\..\\up.exe",
         .seen = get + kFail},
        // So does a name of the run's own files, or a package element with nothing to fetch.
        {.what = "name of the log",
         .manifest = apptest::Offer("Update.Log"),
         .package = "Update.Log",
         .seen = get + kFail,
         .steps = {u"package refused: its name is one of the run's own files: Update.Log"}},
        {.what = "run target outside",
         .manifest = "<config><update version=\"2.4\" run=\"..\\x.exe\"/><UpdateExe><item "
                     "name=\"app.7z\" url=\"http://srv/app.7z\"/></UpdateExe></config>",
         .seen = get + kFail,
         .steps = {u"manifest refused: the run target is not a file of the application folder"}},
        {.what = "no item",
         .manifest = "<config><update version=\"2.4\"/><UpdateExe/></config>",
         .seen = get + kFail,
         .steps = {u"package refused: the package element gives no item, name or url",
                   u"outcome: failed"}},
        {.what = "stalled",
         .window = app::TransferEnd::Stalled,
         .seen = get + kAsk + fetch + "; " + kFail,
         .steps = {u"failed: Stalled (less than 1 KiB in 60 s); partial package deleted",
                   u"outcome: failed"}},
        {.what = "cancelled",
         .window = app::TransferEnd::Cancelled,
         .seen = get + kAsk + fetch,
         .steps = {u"package download cancelled by the user; partial package deleted",
                   u"outcome: cancelled, nothing applied"}},
        {.what = "no lock",
         .launch = u"2.2#920#http://srv/update.xml#",
         .lockFails = true,
         .seen = kFail,
         .steps = {u"the one-run lock could not be created, error 5; stopping"}},
        // A second updater for the same folder does nothing at all.
        {.what = "other updater", .otherUpdater = true, .seen = ""},
        // An installer keeps its package; an unpacked archive's is deleted.
        {.what = "installer",
         .manifest = apptest::Offer("pkg\\Setup.exe", "1"),
         .package = "pkg\\Setup.exe",
         .seen =
             get + kAsk + "; GET srv/pkg\\Setup.exe; told; open %W%pkg\\Setup.exe; package left",
         .steps = {u"outcome: installer started"}},
        // The new version must start: it runs past the watch, or ends at once with 0. A folder
        // this user may write is updated by this copy, and no probe is left in it.
        {.what = "archive",
         .seen = applied,
         .appExe = "new",
         .steps = {u"launch string: 2.2#920#http://srv/update.xml",
                   u"manifest http://srv/update.xml: HTTP 200, length ",
                   u"offer: app.7z from http://srv/app.7z; answer 6 (Yes)",
                   u"package http://srv/app.7z: HTTP 200, length 13, received 13",
                   u"\\app.7z\" -o\"C:\\App\\UpdateStage1700000000\\\" -aoa -y",
                   u"started C:\\App\\App.exe", u"the new version runs after 10000 ms",
                   u"package deleted", u"outcome: archive applied"}},
        {.what = "new version ends with 0",
         .starts = {{.wait = app::WaitResult::Ended}},
         .seen = applied,
         .appExe = "new"},
        // Else the old tree comes back and the old version starts.
        {.what = "new version ends with 3",
         .starts = {{.wait = app::WaitResult::Ended, .exitCode = 3}},
         .seen = unhealthy,
         .appExe = "old",
         .steps = {u"ended within 10000 ms with exit code 3",
                   u"the application folder is as it was", u"started C:\\App\\App.exe",
                   u"outcome: the new version did not start well"}},
        {.what = "new version cannot start",
         .starts = {{.started = false}},
         .seen = unhealthy,
         .appExe = "old",
         .steps = {u"could not start C:\\App\\App.exe: error 193"}},
        // An undo step fails: nothing is started and nothing claims the folder is as it was;
        // the next start repairs it.
        {.what = "undo fails",
         .starts = {{.wait = app::WaitResult::Ended, .exitCode = 3}},
         .heldAfterStart = true,
         .seen = told + app + "; " + kFail + "; package left",
         .appExe = "old",
         .steps = {u"rollback incomplete", u"outcome: archive not applied and not wholly undone"}},
        {.what = "no run target",
         .manifest = "<config><update version=\"2.4\"/><UpdateExe><item name=\"app.7z\" "
                     "url=\"http://srv/app.7z\"/></UpdateExe></config>",
         .seen = get + kAsk + fetch + "; told; unpack",
         .appExe = "new",
         .steps = {u"no run target: nothing started", u"outcome: archive applied"}},
        // An updater the new version starts waits for the watch to end, then runs.
        {.what = "started during a watch", .otherUpdater = true, .watching = true, .seen = applied},
        {.what = "installer not started",
         .manifest = apptest::Offer("Setup.exe", "1"),
         .package = "Setup.exe",
         .starts = {{.started = false}},
         .seen = get + kAsk + "; GET srv/Setup.exe; told; open %W%Setup.exe; " + kFail +
                 "; package left",
         .steps = {u"outcome: installer not started"}},
        {.what = "host still running", .host = app::WaitResult::StillRunning, .seen = applied},
        {.what = "host wait failed", .host = app::WaitResult::Failed, .seen = applied},
        {.what = "archiver missing",
         .archiver = State::NotStarted,
         .seen = notApplied,
         .steps = {u"the archiver did not start, error 2"}},
        {.what = "archiver ended at the limit",
         .archiver = State::TimedOut,
         .seen = notApplied,
         .steps = {u"the archiver was ended after 600000 ms"}},
        // The swap fails and is rolled back: the application folder stays as it was.
        {.what = "application in use", .appInUse = true, .seen = notApplied},
        // 7-Zip's warnings, such as files it could not write, are no success either.
        {.what = "archiver warnings", .exitCode = 1, .seen = notApplied},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        run.desktop.answer = c.answer;
        run.desktop.windowEnds = c.window;
        run.processes.otherUpdaterRuns = c.otherUpdater;
        run.processes.otherUpdaterWatches = c.watching;
        run.processes.lockFails = c.lockFails;
        run.processes.starts = c.starts;
        if (c.heldAfterStart) {
            run.processes.onStart = [&] { run.files.inUse[u"C:\\App\\App.exe"] = 1000; };
        }
        run.files.AddFile(u"C:\\App\\App.exe", "old");
        run.processes.unpack = [&] { run.files.AddFile(run.Stage() + u"App.exe", "new"); };
        run.processes.archiverRun = {c.archiver, c.exitCode, 2};
        run.processes.hostWait = c.host;
        if (c.noTempFolder) run.files.nodes.erase(u"C:\\Temp");
        if (c.appInUse) run.files.inUse[u"C:\\App\\App.exe"] = 1000;
        run.net.bodies[u"srv/update.xml"] = c.manifest;
        const std::u16string package(c.package.begin(), c.package.end());
        if (!package.empty()) run.net.bodies[u"srv/" + package] = "package bytes";
        EXPECT_EQ(apptest::RunWhole(run, c.launch), c.seen) << c.what;
        // A plain run ends with 0 whatever happened; with options (here a failing one) it says so.
        EXPECT_EQ(run.exitCode, c.launch.ends_with(u"#") ? app::kExitFailed : 0) << c.what;
        // A hung archiver is ended after ten minutes.
        const bool unpacked = c.seen.find("unpack") != std::string::npos;
        EXPECT_EQ(run.processes.archiverLimitMs, unpacked ? 10u * 60 * 1000 : 0) << c.what;
        // Only a broken undo leaves its journal, and the next start repairs it.
        const bool broken = c.heldAfterStart;
        EXPECT_EQ(run.files.Has(u"C:\\App\\UpdateBackup1700000000\\journal.txt"), broken) << c.what;
        run.files.inUse.clear();
        app::RepairApplicationFolder(run.roles, u"C:\\App");
        if (!c.appExe.empty()) {
            EXPECT_EQ(run.files.Under(u"C:\\App").size(), 1u) << c.what;
            EXPECT_EQ(run.files.Content(u"C:\\App\\App.exe"), c.appExe) << c.what;
        }
        auto at = run.log.lines.begin();
        for (const std::u16string& step : c.steps) {
            at = std::find_if(at, run.log.lines.end(), [&](const std::u16string& line) {
                return line.find(step) != std::u16string::npos;
            });
            ASSERT_NE(at, run.log.lines.end()) << c.what << ": " << apptest::Utf8(step);
        }
    }
}

}  // namespace
