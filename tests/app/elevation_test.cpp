// What the apply step may trust: the package held from its digest check to its use.

#include <gtest/gtest.h>

#include "whole_run.h"

namespace {

TEST(PackageHold, NothingCanChangeThePackageFromItsCheckToItsUse) {
    for (const bool installer : {false, true}) {
        apptest::FakeRun run;
        run.ArchiverSucceeds();
        const std::string name = installer ? "Setup.exe" : "app.7z";
        run.net.bodies[u"srv/update.xml"] = apptest::Offer(name, installer ? "1" : "0");
        run.net.bodies[u"srv/" + std::u16string(name.begin(), name.end())] = "package bytes";
        const std::u16string package =
            run.WorkFolder() + u"\\" + std::u16string(name.begin(), name.end());
        base::FileResult written, moved;
        run.processes.duringHostWait = [&] {
            std::unique_ptr<base::WritableFile> file;
            written = run.files.OpenForWriting(package, 0, file);
            moved = run.files.Move(package, package + u".old");
        };
        const std::string seen = apptest::RunWhole(run);
        EXPECT_TRUE(written.Is(base::FileError::InUse) && moved.Is(base::FileError::InUse)) << name;
        EXPECT_EQ(run.files.Content(package), installer ? "package bytes" : "") << name;
        // Let go once used: the unpacked archive is deleted.
        EXPECT_EQ(seen.ends_with("package left"), installer) << seen;
        EXPECT_TRUE(run.files.holds.empty()) << name;
    }
}

}  // namespace
