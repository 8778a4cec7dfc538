// The manifest's run target: started with the application folder's rights, so only a file of
// that folder will do.

#include <gtest/gtest.h>

#include "app/manifest/package_name.h"
#include "net/fake_net_api.h"

namespace {

TEST(RunTarget, OnlyAFileOfTheApplicationFolder) {
    for (const std::u16string run : {u"App.exe", u"bin\\App.exe", u"bin/tools/App.exe",
                                     u".\\App.exe", u"console.exe", u"COM10.exe"}) {
        EXPECT_TRUE(app::IsRunTargetInside(run)) << net::testing::Utf8(run);
    }
    for (const std::u16string run :
         {u"..\\App.exe", u"bin\\..\\..\\x.exe", u".. \\x.exe", u"bin/.../x.exe", u"\\App.exe",
          u"/App.exe", u"\\\\srv\\s\\x.exe", u"C:\\x.exe", u"C:x.exe", u"App.exe:alt", u"NUL",
          u"bin\\con.txt", u"Aux.Exe", u"lpt9", u"COM1 .exe", u"bin\\\\App.exe", u"bin\\", u""}) {
        EXPECT_FALSE(app::IsRunTargetInside(run)) << net::testing::Utf8(run);
    }
}

}  // namespace
