// The manifest's run target: started with the application folder's rights, so only a file of
// that folder will do, and a manifest naming anything else is refused before the question.

#include <gtest/gtest.h>

#include "app/manifest/package_name.h"
#include "whole_run.h"

namespace {

TEST(RunTarget, OnlyAFileOfTheApplicationFolder) {
    const struct {
        std::u16string run;
        bool inside;
    } cases[] = {
        {u"App.exe", true},
        {u"bin\\App.exe", true},
        {u"bin/tools/App.exe", true},
        {u".\\App.exe", true},
        {u"console.exe", true},
        {u"COM10.exe", true},
        {u"..\\App.exe", false},
        {u"bin\\..\\..\\x.exe", false},
        {u".. \\x.exe", false},
        {u"bin/.../x.exe", false},
        {u"\\App.exe", false},
        {u"/App.exe", false},
        {u"\\\\srv\\s\\x.exe", false},
        {u"C:\\x.exe", false},
        {u"C:x.exe", false},
        {u"App.exe:alt", false},
        {u"NUL", false},
        {u"bin\\con.txt", false},
        {u"Aux.Exe", false},
        {u"lpt9", false},
        {u"COM1 .exe", false},
        {u"bin\\\\App.exe", false},
        {u"bin\\", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::IsRunTargetInside(c.run), c.inside) << apptest::Utf8(c.run);
    }
}

TEST(RunTarget, OutsideRefusesTheManifestBeforeTheQuestion) {
    for (const std::string target : {"..\\Evil.exe", ""}) {
        apptest::FakeRun run;
        run.desktop.answer = {app::BoxAnswer::Button::NotYes, 7};
        std::string manifest = apptest::Offer("app.7z");
        manifest.replace(manifest.find("App.exe"), 7, target);
        run.net.bodies[u"srv/update.xml"] = manifest;
        // No run target at all is allowed: the user is asked as usual.
        EXPECT_EQ(apptest::RunWhole(run, u"2.2#920#http://srv/update.xml#"),
                  "GET srv/update.xml; " + (target.empty() ? apptest::kAsk : apptest::kFail))
            << target;
        EXPECT_EQ(run.exitCode, target.empty() ? app::kExitNotTaken : app::kExitFailed);
    }
}

}  // namespace
