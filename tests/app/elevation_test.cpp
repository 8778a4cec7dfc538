// What the apply step may trust: the package held from its digest check to its use, and the
// apply step for a folder this user may not write, handed to an elevated copy that checks
// everything again.

#include <gtest/gtest.h>

#include "app/elevate/elevated_copy.h"
#include "app/elevate/elevated_form.h"
#include "whole_run.h"

namespace {

using apptest::kAsk;
using apptest::kFail;
using End = app::ElevatedEnd;

const std::string kKey =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE+5pYsoqnon7ZXrasK39LIpmvF97G\n"
    "+30cqEUQ2k8izXNht4VnX7xNmlpCG06gbDCz8P9zkfY9XdDqE//Z+ikICQ==\n"
    "-----END PUBLIC KEY-----\n";
const std::string kSignature = "\x30\x06\x02\x01\x01\x02\x01\x01";
// The fake trust's digest of every file.
const std::string kSha256 = " sha256=\"ab" + std::string(62, '0') + "\"";
const std::u16string kProbe = u"C:\\App\\UpdateProbe1700000000.tmp";

// A signed update to 2.4 whose archive puts a new App.exe in place, in a folder this user may
// not write.
void ServeSignedUpdate(apptest::FakeRun& run) {
    apptest::ServeArchive(run, kSha256);
    run.files.AddFile(u"C:\\App\\update-key.pem", kKey);
    run.files.denied.insert(kProbe);
    run.net.bodies[u"srv/update.xml.sig"] = kSignature;
}

bool Saw(const apptest::FakeRun& run, const std::string& start) {
    return std::any_of(run.seen.begin(), run.seen.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
}

TEST(PackageHold, NothingCanChangeThePackageFromItsCheckToItsUse) {
    apptest::FakeRun run;
    apptest::ServeArchive(run);
    const std::u16string package = run.WorkFolder() + u"\\app.7z";
    base::FileResult written, moved;
    run.processes.duringHostWait = [&] {
        std::unique_ptr<base::WritableFile> file;
        written = run.files.OpenForWriting(package, 0, file);
        moved = run.files.Move(package, package + u".old");
    };
    // Let go once the archiver is done: the unpacked archive is deleted.
    EXPECT_FALSE(apptest::RunWhole(run).ends_with("package left"));
    EXPECT_TRUE(written.Is(base::FileError::InUse) && moved.Is(base::FileError::InUse));
}

TEST(ElevatedApply, TheFirstCopyMapsTheElevatedEnd) {
    const std::string told =
        "GET srv/update.xml; GET srv/update.xml.sig; " + kAsk + "; GET srv/app.7z; told";
    const std::string start = "; start C:\\App\\App.exe", failed = "; " + kFail;
    const std::string restarted = told + start + failed + "; package left",
                      left = told + failed + "; package left";
    using State = app::ElevatedRun::State;
    const struct {
        const char* what;
        app::ElevatedRun elevated;
        std::string seen;
        int exitCode;
    } cases[] = {
        {"applied and started", {State::Ended, 40, 0}, told, 0},
        {"applied", {State::Ended, 41, 0}, told + start, 0},
        {"rolled back", {State::Ended, 42, 0}, restarted, 1},
        {"rolled back, old version started there", {State::Ended, 45, 0}, left, 1},
        {"unhealthy", {State::Ended, 44, 0}, left, 1},
        {"broken", {State::Ended, 43, 0}, left, 1},
        {"crashed", {State::Ended, 0xC0000005, 0}, left, 1},
        // A declined prompt changes nothing: the failure box and the old version.
        {"declined", {State::Declined, 0, 1223}, restarted, 1},
        {"not started", {State::NotStarted, 0, 2}, restarted, 1},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        ServeSignedUpdate(run);
        run.processes.elevated = c.elevated;
        EXPECT_EQ(apptest::RunWhole(run, u"2.2#920#http://srv/update.xml#"), c.seen) << c.what;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what;
        // Told only where the work folder is and who asked; nothing is unpacked here.
        EXPECT_TRUE(
            Saw(run, "elevate --elevated-apply 77 \"" + apptest::Utf8(run.WorkFolder()) + "\\\""))
            << c.what;
        EXPECT_EQ(run.files.Content(u"C:\\App\\App.exe"), "old") << c.what;
        if (c.elevated.state == State::Declined) {
            EXPECT_NE(std::find(run.log.lines.begin(), run.log.lines.end(),
                                u"elevated apply: the elevation prompt was declined (error 1223)"),
                      run.log.lines.end());
        }
    }
}

TEST(ElevatedApply, TheElevatedCopyChecksEverythingAgain) {
    const std::string offer = apptest::Offer("app.7z", "0", kSha256);
    std::string replayed = offer, outside = offer;
    replayed.insert(replayed.find('>'), " serial=\"5\"");
    outside.replace(outside.find("App.exe"), 7, "..\\x.exe");
    const auto same = [](apptest::FakeRun&) {};
    const struct {
        const char* what;
        std::function<void(apptest::FakeRun&)> change;
        End end;
        bool started = false;
        std::string manifest = {};  // the first copy's offer unless given
    } cases[] = {
        {"whole", same, End::AppliedAndStarted, true},
        // Not even the old one starts then; the update is undone all the same.
        {"target not started", [](apptest::FakeRun& run) { run.processes.childStartError = 87; },
         End::Unhealthy, true},
        {"manifest changed", [](apptest::FakeRun& run) { run.trust.signatureHolds = false; },
         End::NotApplied},
        {"signature gone",
         [](apptest::FakeRun& run) {
             run.files.nodes.erase(run.WorkFolder() + u"\\update.xml.sig");
         },
         End::NotApplied},
        {"package changed", [](apptest::FakeRun& run) { run.trust.fileDigest[1] = 1; },
         End::NotApplied},
        {"replayed older manifest",
         [](apptest::FakeRun& run) { run.serials.serials[u"C:\\App"] = 6; }, End::NotApplied, false,
         replayed},
        {"run target outside", same, End::NotApplied, false, outside},
        {"installer", same, End::NotApplied, false, apptest::Offer("app.7z", "1", kSha256)},
        {"work folder missing",
         [](apptest::FakeRun& run) { run.files.RemoveTree(run.WorkFolder()); }, End::NotApplied},
        {"archiver fails", [](apptest::FakeRun& run) { run.processes.archiverRun.exitCode = 2; },
         End::NotAppliedAndStarted, true},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        ServeSignedUpdate(run);
        // What the first copy leaves in its work folder, then the change.
        const std::u16string work = run.WorkFolder() + u"\\";
        run.files.AddFolder(work);
        run.files.AddFile(work + u"update.xml", c.manifest.empty() ? offer : c.manifest);
        run.files.AddFile(work + u"update.xml.sig", kSignature);
        run.files.AddFile(work + u"app.7z", "package bytes");
        c.change(run);
        const std::u16string arguments = app::ElevatedParameters({4242, work});
        EXPECT_EQ(app::RunElevatedCopy(arguments, run.roles), static_cast<std::uint32_t>(c.end))
            << c.what;
        const bool applied = c.end == End::AppliedAndStarted || c.end == End::Applied;
        EXPECT_EQ(run.files.Content(u"C:\\App\\App.exe"), applied ? "new" : "old") << c.what;
        EXPECT_EQ(Saw(run, "start as child of 4242 C:\\App\\App.exe"), c.started) << c.what;
        EXPECT_TRUE(run.files.holds.empty()) << c.what;
    }
}

TEST(ElevatedApply, OnlyItsOwnFormStartsTheElevatedCopy) {
    const std::u16string work = u"C:\\Users\\u\\Temp\\UpdateTemp1700000000-2\\";
    const auto read = app::ReadElevatedForm(app::ElevatedParameters({77, work}));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->firstCopyId, 77u);
    EXPECT_EQ(read->workFolder, work);
    for (const std::u16string bad :
         {u"--elevated-apply", u"--elevated-apply 0 \"C:\\UpdateTemp1\\\"",
          u"--elevated-apply 1 C:\\UpdateTemp1\\", u"--elevated-apply 1 \"C:\\Windows\\\"",
          u"--elevated-apply 1 \"UpdateTemp1\\\""}) {
        EXPECT_FALSE(app::ReadElevatedForm(bad)) << apptest::Utf8(bad);
    }
    EXPECT_FALSE(app::IsElevatedForm(u"2.2#920#http://srv/update.xml"));
}

}  // namespace
