// The work folder's name and the application folder.

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
        {u"C:\\Temp\\", 1700000000, u"C:\\Temp\\UpdateTemp1700000000\\"},
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
    const std::u16string longPath = u"C:\\" + std::u16string(400, u'd') + u"\\updater.exe";
    const struct {
        std::u16string module;
        std::u16string folder;
    } cases[] = {
        {u"C:\\App\\updater.exe", u"C:\\App"},
        {u"C:\\updater.exe", u"C:"},
        {u"updater.exe", u"updater.exe"},
        {u"", u""},
        {longPath, u"C:\\" + std::u16string(400, u'd')},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        platform.modulePath = c.module;
        EXPECT_EQ(app::GetAppFolder(platform), c.folder);
    }
}

TEST(StaysInWorkFolder, RefusesNamesThatLeaveTheFolder) {
    for (const std::u16string name :
         {u"C:\\x.7z", u"c:x.7z", u"\\x.7z", u"/x.7z", u"\\\\srv\\share\\x.7z", u"//srv/x.7z",
          u"..\\x.7z", u"../x.7z", u"pkg\\..\\..\\x.7z", u"pkg/../../x.7z", u"..", u"pkg\\..",
          u"... \\x.7z", u".. /x.7z", u"a.7z:stream", u"\\\\?\\C:\\x.7z"}) {
        EXPECT_FALSE(app::StaysInWorkFolder(name)) << apptest::ToUtf8(name);
    }
    for (const std::u16string name :
         {u"app.7z", u"pkg\\app.7z", u"pkg/app.7z", u"a..b.7z", u"..x.7z", u"x..", u".\\app.7z",
          u"pkg\\.hidden", u"", u"更新包.7z"}) {
        EXPECT_TRUE(app::StaysInWorkFolder(name)) << apptest::ToUtf8(name);
    }
}

}  // namespace
