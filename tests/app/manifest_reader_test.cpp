// ReadManifest over manifests served by the fake network, with the real downloader and reader.

#include <gtest/gtest.h>

#include "app/manifest/read_manifest.h"
#include "fake_roles.h"

namespace {

// "U" (up to date) or "F" (failed) after reading the manifest, or "I" (installer) or "A"
// (archive) with the offer's run target and package name.
std::string Read(const std::string& manifest, double currentVersion) {
    apptest::FakeRun run;
    run.net.bodies[u"srv/update.xml"] = manifest;
    const app::RunInput input{{currentVersion, 0, u"http://srv/update.xml"},
                              {},
                              u"C:\\App",
                              run.processes.tempPath + u"UpdateTemp1\\"};
    const app::Manifest read = app::ReadManifest(input, run.roles);
    if (read.verdict == app::Manifest::Verdict::UpToDate) return "U";
    if (read.verdict == app::Manifest::Verdict::Failed) return "F";
    // Name and address from one element.
    EXPECT_EQ(read.offer.address, read.offer.name.empty() ? u"" : u"http://srv/" + read.offer.name);
    return (read.offer.kind == app::PackageKind::Installer ? "I " : "A ") +
           apptest::Utf8(read.offer.runTarget) + " " + apptest::Utf8(read.offer.name);
}

// update, then an installer, a patch with two items and a full package.
std::string Offer(const std::string& updateAttributes) {
    return "<?xml version=\"1.0\"?>\n<config>\n  <update " + updateAttributes +
           " run=\"App.exe\"/>\n"
           "  <UpdateInstall name=\"AppSetup.exe\" url=\"http://srv/AppSetup.exe\" size=\"9\"/>\n"
           "  <UpdateExe><item name=\"patch.7z\" url=\"http://srv/patch.7z\" size=\"1\"/>"
           "<item name=\"second.7z\" url=\"http://srv/second.7z\"/></UpdateExe>\n"
           "  <UpdateExeEx><item name=\"full.7z\" url=\"http://srv/full.7z\"/></UpdateExeEx>\n"
           "</config>\n";
}

// Results: U up to date, F failed, I installer, A archive.
TEST(ReadManifest, ChoosesByTypeAndVersionStepAmongThePackagesAfterTheFirstUpdate) {
    const struct {
        std::string manifest;
        double current;
        std::string outcome;
    } cases[] = {
        // The step in double precision: 1.3 - 1.0 is just above 0.3, 2.3 - 2.0 just below.
        {Offer("version=\"1.3\""), 1.0, "A App.exe full.7z"},
        {Offer("version=\"2.3\""), 2.0, "A App.exe patch.7z"},
        {Offer("version=\"0.3\""), 0.0, "A App.exe patch.7z"},
        {Offer("version=\"2.4\" type=\" 01\""), 2.2, "I App.exe AppSetup.exe"},
        {Offer("version=\"2.4\" type=\"yes\""), 2.2, "A App.exe patch.7z"},
        // Decimal numbers, not dotted versions; a missing version reads 0.
        {Offer("version=\"2.4\""), 2.4, "U"},
        {Offer("version=\"1.10\""), 1.9, "U"},
        {Offer("Version=\"9\" type=\"1\""), 0.0, "U"},
        // type 1 without an installer after update falls through to the archives.
        {"<config><UpdateInstall name=\"a\" url=\"http://srv/a\"/><update version=\"9\" type=\"1\" "
         "run=\"r\"/><UpdateExeEx><item name=\"b\" url=\"http://srv/b\"/></UpdateExeEx></config>",
         1.0, "A r b"},
        // Nested inside update is not after it.
        {"<config><update version=\"9\"><UpdateExeEx><item name=\"a\" url=\"http://srv/a\"/>"
         "</UpdateExeEx></update></config>",
         1.0, "F"},
        // A package element without an item offers no name.
        {"<config><update version=\"9\"/><UpdateExeEx><other name=\"a\"/></UpdateExeEx></config>",
         1.0, "A  "},
        {"<config><x/><update version=\"0\"/><update version=\"9\"/><UpdateExeEx><item name=\"a\" "
         "url=\"http://srv/a\"/></UpdateExeEx></config>",
         1.0, "U"},
        {"<config/><config><update version=\"9\"/></config>", 1.0, "F"},
        {"<config><Update version=\"9\"/></config>", 1.0, "F"},
        {"", 1.0, "F"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.manifest, c.current), c.outcome) << c.manifest;
}

}  // namespace
