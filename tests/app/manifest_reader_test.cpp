// ReadManifest over manifests served by the fake network, with the real downloader and reader.

#include <gtest/gtest.h>

#include "app/manifest/read_manifest.h"
#include "fake_roles.h"

namespace {

// "<result> <run target> <package name>" after reading the manifest, from a context whose run
// target and package entry were "old".
std::string Read(const std::string& manifest, double currentVersion) {
    apptest::FakeRun run;
    run.net.bodies[u"srv/update.xml"] = manifest;
    app::UpdateContext context;
    context.currentVersion = currentVersion;
    context.manifestUrl = u"http://srv/update.xml";
    context.appFolder = u"C:\\App";
    context.workFolder = run.processes.tempPath + u"UpdateTemp1\\";
    context.runTarget = context.packageName = u"old";
    context.packageUrl = u"http://srv/old";
    const int result = static_cast<int>(app::ReadManifest(context, run.roles));
    EXPECT_EQ(context.packageUrl, u"http://srv/" + context.packageName);  // from one element
    return std::string(1, "UFIA"[result]) + " " + apptest::Utf8(context.runTarget) + " " +
           apptest::Utf8(context.packageName);
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
        {Offer("version=\"2.4\""), 2.4, "U old old"},
        {Offer("version=\"1.10\""), 1.9, "U old old"},
        {Offer("Version=\"9\" type=\"1\""), 0.0, "U old old"},
        // type 1 without an installer after update falls through to the archives.
        {"<config><UpdateInstall name=\"a\" url=\"http://srv/a\"/><update version=\"9\" type=\"1\" "
         "run=\"r\"/><UpdateExeEx><item name=\"b\" url=\"http://srv/b\"/></UpdateExeEx></config>",
         1.0, "A r b"},
        // Nested inside update is not after it.
        {"<config><update version=\"9\"><UpdateExeEx><item name=\"a\" url=\"http://srv/a\"/>"
         "</UpdateExeEx></update></config>",
         1.0, "F  old"},
        // A package element without an item leaves the entry as it was.
        {"<config><update version=\"9\"/><UpdateExeEx><other name=\"a\"/></UpdateExeEx></config>",
         1.0, "A  old"},
        {"<config><x/><update version=\"0\"/><update version=\"9\"/><UpdateExeEx><item name=\"a\" "
         "url=\"http://srv/a\"/></UpdateExeEx></config>",
         1.0, "U old old"},
        // Unusable manifests leave the context as it was.
        {"<config/><config><update version=\"9\"/></config>", 1.0, "F old old"},
        {"<config><Update version=\"9\"/></config>", 1.0, "F old old"},
        {"", 1.0, "F old old"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.manifest, c.current), c.outcome) << c.manifest;
}

}  // namespace
