// The work folder's name, the application folder, and which package names stay in the former.

#include <gtest/gtest.h>

#include "app/package_name.h"
#include "app/work_folder.h"
#include "fake_platform.h"

namespace {

TEST(WorkFolder, IsTempUpdateTempRunNumberAndBackslash) {
    const std::u16string longTemp = u"C:\\" + std::u16string(300, u'x') + u"\\";
    const struct {
        std::u16string temp;
        std::int64_t now;
        std::u16string folder;
    } cases[] = {
        {u"C:\\Temp\\", 0, u"C:\\Temp\\UpdateTemp0\\"},
        {u"C:\\Temp\\", 0xFFFFFFFFLL, u"C:\\Temp\\UpdateTemp4294967295\\"},
        {u"C:\\Temp\\", 0x100000007LL, u"C:\\Temp\\UpdateTemp7\\"},  // low 32 bits only
        {u"", 42, u"UpdateTemp42\\"},                                // no temp folder: relative
        {longTemp, 5, longTemp + u"UpdateTemp5\\"},                  // never cut at 260
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        platform.tempPath = c.temp;
        platform.now = c.now;
        EXPECT_EQ(app::MakeWorkFolder(platform), c.folder);
    }
}

TEST(GetAppFolder, DropsTheLastComponentAndItsBackslash) {
    const std::u16string longFolder = u"C:\\" + std::u16string(400, u'd');
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\updater.exe", u"C:"},
        {u"updater.exe", u"updater.exe"},
        {longFolder + u"\\updater.exe", longFolder},
    };
    for (const auto& [module, folder] : cases) {
        apptest::FakePlatform platform;
        platform.modulePath = module;
        EXPECT_EQ(app::GetAppFolder(platform), folder);
    }
}

TEST(StaysInWorkFolder, RefusesNamesThatLeaveTheFolder) {
    for (const std::u16string name :
         {u"C:\\x.7z", u"a.7z:stream", u"\\\\srv\\share\\x.7z", u"/x.7z", u"..\\x.7z",
          u"pkg/../../x.7z", u"pkg\\..", u"... \\x.7z", u".. /x.7z", u"x..", u"pkg \\x.7z", u"NUL",
          u"pkg\\con.7z", u"Aux .txt\\x", u"lpt9", u"COM¹.7z", u"conout$", u"a\tb.7z",
          u"a\x7f.7z"}) {
        EXPECT_FALSE(app::StaysInWorkFolder(name)) << apptest::Utf8(name);
    }
    for (const std::u16string name :
         {u"pkg\\app.7z", u"pkg/app.7z", u"a..b.7z", u"..x.7z", u".\\app.7z", u"", u"CON1.7z",
          u"COM0", u"LPT10", u"nul-log.txt", u"conin.7z"}) {
        EXPECT_TRUE(app::StaysInWorkFolder(name)) << apptest::Utf8(name);
    }
}

}  // namespace
