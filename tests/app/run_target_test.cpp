// The manifest's run target: started with the application folder's rights, so only a file of
// that folder will do.

#include <gtest/gtest.h>

#include "app/manifest/package_name.h"
#include "net/fake_net_api.h"

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
        EXPECT_EQ(app::IsRunTargetInside(c.run), c.inside) << net::testing::Utf8(c.run);
    }
}

}  // namespace
