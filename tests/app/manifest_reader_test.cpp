// ReadManifest over manifests served by the fake network, with the real downloader and reader.

#include "app/manifest_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fake_platform.h"
#include "temp_folder.h"

namespace {

using app::ManifestResult;

// update, then an installer, a patch with two items and a full package.
std::string Manifest(const std::string& updateAttributes) {
    return "<?xml version=\"1.0\"?>\n<config>\n  <update " + updateAttributes +
           " run=\"App.exe\"/>\n"
           "  <UpdateInstall name=\"AppSetup.exe\" url=\"http://srv/AppSetup.exe\" size=\"9\"/>\n"
           "  <UpdateExe><item name=\"patch.7z\" url=\"http://srv/patch.7z\" size=\"1\"/>"
           "<item name=\"second.7z\" url=\"http://srv/second.7z\"/></UpdateExe>\n"
           "  <UpdateExeEx><item name=\"full.7z\" url=\"http://srv/full.7z\"/></UpdateExeEx>\n"
           "</config>\n";
}

struct Outcome {
    ManifestResult result;
    std::u16string runTarget;
    std::u16string packageName;  // its address is always http://srv/ + name
};

class ReadManifestTest : public ::testing::Test {
  protected:
    Outcome Read(const std::string& manifest, double currentVersion) {
        platform.net.bodies[u"srv/update.xml"] = manifest;
        app::UpdateContext context;
        context.currentVersion = currentVersion;
        context.manifestUrl = u"http://srv/update.xml";
        context.workFolder = temp.AsTempPath() + u"UpdateTemp1\\";
        context.runTarget = context.packageName = u"old";
        context.packageUrl = u"http://srv/old";
        const ManifestResult result = app::ReadManifest(context, platform);
        EXPECT_EQ(context.packageUrl, u"http://srv/" + context.packageName);
        return {result, context.runTarget, context.packageName};
    }

    apptest::TempFolder temp;
    apptest::FakePlatform platform;
};

TEST_F(ReadManifestTest, ChoosesThePackageByTypeAndVersionStep) {
    const struct {
        std::string update;
        double current;
        ManifestResult result;
        std::u16string name;
    } cases[] = {
        {"version=\"2.4\" type=\"0\"", 2.2, ManifestResult::ArchivePackage, u"patch.7z"},
        {"version=\"2.4\" type=\"0\"", 1.9, ManifestResult::ArchivePackage, u"full.7z"},
        {"version=\"2.4\" type=\"1\"", 1.9, ManifestResult::InstallerPackage, u"AppSetup.exe"},
        {"version=\"2.4\" type=\" 01\"", 2.2, ManifestResult::InstallerPackage, u"AppSetup.exe"},
        {"version=\"2.4\" type=\"yes\"", 2.2, ManifestResult::ArchivePackage, u"patch.7z"},
        {"version=\"2.4\" type=\"2\"", 2.2, ManifestResult::ArchivePackage, u"patch.7z"},
        // The step in double precision: 1.3 - 1.0 is just above 0.3, 2.3 - 2.0 just below.
        {"version=\"1.3\"", 1.0, ManifestResult::ArchivePackage, u"full.7z"},
        {"version=\"2.3\"", 2.0, ManifestResult::ArchivePackage, u"patch.7z"},
        {"version=\"0.3\"", 0.0, ManifestResult::ArchivePackage, u"patch.7z"},
        // Decimal numbers, and text after the number is ignored.
        {"version=\"2.0 beta\"", 1.9, ManifestResult::ArchivePackage, u"patch.7z"},
        {"version=\"2.4\"", 2.4, ManifestResult::UpToDate, u"old"},
        {"version=\"1.10\"", 1.9, ManifestResult::UpToDate, u"old"},
        {"Version=\"9\" type=\"1\"", 0.0, ManifestResult::UpToDate, u"old"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Read(Manifest(c.update), c.current);
        EXPECT_EQ(outcome.result, c.result) << c.update << " from " << c.current;
        EXPECT_EQ(outcome.packageName, c.name) << c.update << " from " << c.current;
        // The run target is written exactly when the offer is newer.
        EXPECT_EQ(outcome.runTarget, c.result == ManifestResult::UpToDate ? u"old" : u"App.exe");
    }
}

TEST_F(ReadManifestTest, SeesOnlyPackageElementsAfterUpdate) {
    const struct {
        std::string manifest;
        ManifestResult result;
        std::u16string runTarget;
        std::u16string name;
    } cases[] = {
        // type 1 without an installer after update falls through to the archives.
        {"<config><UpdateInstall name=\"a\" url=\"http://srv/a\"/><update version=\"9\" type=\"1\" "
         "run=\"r\"/><UpdateExeEx><item name=\"b\" url=\"http://srv/b\"/></UpdateExeEx></config>",
         ManifestResult::ArchivePackage, u"r", u"b"},
        // Nested inside update is not after it.
        {"<config><update version=\"9\"><UpdateExeEx><item name=\"a\" url=\"http://srv/a\"/>"
         "</UpdateExeEx></update></config>",
         ManifestResult::Failed, u"", u"old"},
        // The full package is needed but only the patch is offered: no fallback.
        {"<config><update version=\"9\" run=\"r\"/><UpdateExe><item name=\"a\" "
         "url=\"http://srv/a\"/></UpdateExe></config>",
         ManifestResult::Failed, u"r", u"old"},
        // A package element without an item leaves the entry as it was.
        {"<config><update version=\"9\"/><UpdateExeEx><other name=\"a\"/></UpdateExeEx></config>",
         ManifestResult::ArchivePackage, u"", u"old"},
        // Only the first update counts.
        {"<config><x/><update version=\"0\"/><update version=\"9\"/><UpdateExeEx><item name=\"a\" "
         "url=\"http://srv/a\"/></UpdateExeEx></config>",
         ManifestResult::UpToDate, u"old", u"old"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Read(c.manifest, 1.0);
        EXPECT_EQ(outcome.result, c.result) << c.manifest;
        EXPECT_EQ(outcome.runTarget, c.runTarget) << c.manifest;
        EXPECT_EQ(outcome.packageName, c.name) << c.manifest;
    }
}

TEST_F(ReadManifestTest, FailsOnUnusableManifestsAndLeavesTheContext) {
    for (const std::string manifest :
         {"<Config><update version=\"9\"/><UpdateExeEx><item name=\"a\"/></UpdateExeEx></Config>",
          "<config><Update version=\"9\"/></config>", "<config/><config/>", "<config><update>",
          ""}) {
        const Outcome outcome = Read(manifest, 1.0);
        EXPECT_EQ(outcome.result, ManifestResult::Failed) << manifest;
        EXPECT_EQ(outcome.runTarget, u"old") << manifest;
        EXPECT_EQ(outcome.packageName, u"old") << manifest;
    }
}

TEST_F(ReadManifestTest, FetchesIntoTheWorkFolderAndKeepsTheFile) {
    EXPECT_EQ(Read(Manifest("version=\"1\""), 2.0).result, ManifestResult::UpToDate);
    EXPECT_TRUE(std::filesystem::exists(temp.path / "UpdateTemp1" / "update.xml"));
    EXPECT_EQ(platform.log, std::vector<std::string>{"GET srv/update.xml"});

    app::UpdateContext context;  // 404: nothing is made
    context.manifestUrl = u"http://srv/none.xml";
    context.workFolder = temp.AsTempPath() + u"UpdateTemp2\\";
    EXPECT_EQ(app::ReadManifest(context, platform), ManifestResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(temp.path / "UpdateTemp2"));
}

}  // namespace
