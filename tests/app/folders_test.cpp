// The work folder's name, the application folder, and which package names stay in the former.

#include <gtest/gtest.h>

#include "app/package_name.h"
#include "app/run_lock.h"
#include "app/work_folder.h"
#include "app/work_folder_cleanup.h"
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

TEST(WorkFolderCleanup, RemovesOnlyOurFoldersPastAWeekAndSkipsThoseThatStay) {
    constexpr std::int64_t now = 1700000000, week = app::kKeepWorkFoldersSeconds;
    apptest::FakePlatform platform;
    platform.tempPath = u"C:\\T\\";
    platform.now = now;
    platform.workFolders = {
        {u"UpdateTemp1", now - week - 1},
        {u"UpdateTemp2-3", now - week - 99},
        {u"UpdateTemp3", now - week},  // exactly a week: kept
        {u"UpdateTemp4", now + 3600},  // in the future: kept
        {u"UpdateTemp5", 0},           // cannot be removed: skipped, the rest go on
        {u"UpdateTemp", 0},
        {u"UpdateTempX", 0},
        {u"UpdateTemp1x", 0},
        {u"UpdateTemp1-", 0},
        {u"UpdateTemp-1", 0},
        {u"UpdateTemp1-2-3", 0},
        {u"updatetemp7", 0},
        {u"UpdateTemp 8", 0},
        {u"UpdateTemp\\..\\9", 0},
        {u"UpdateTemp6", 1},
    };
    platform.stuckFolders = {u"C:\\T\\UpdateTemp5"};
    app::RemoveOldWorkFolders(platform);
    EXPECT_EQ(platform.removedFolders,
              (std::vector<std::u16string>{u"C:\\T\\UpdateTemp1", u"C:\\T\\UpdateTemp2-3",
                                           u"C:\\T\\UpdateTemp5", u"C:\\T\\UpdateTemp6"}));
    EXPECT_EQ(platform.runLog.lines.at(2),
              u"could not remove old work folder C:\\T\\UpdateTemp5: error 32");

    // Without a temporary directory, names would be relative to wherever the run started.
    platform.removedFolders.clear();
    platform.tempPath.clear();
    app::RemoveOldWorkFolders(platform);
    EXPECT_TRUE(platform.removedFolders.empty());
}

TEST(WorkFolderCleanup, RunsOfTheSameSecondGetFoldersOfTheirOwn) {
    apptest::FakePlatform platform;
    const std::u16string first = app::MakeFreshWorkFolder(platform);
    EXPECT_EQ(first, platform.tempPath + u"UpdateTemp1700000000\\");
    EXPECT_EQ(app::MakeFreshWorkFolder(platform), platform.tempPath + u"UpdateTemp1700000000-2\\");
    EXPECT_EQ(app::MakeFreshWorkFolder(platform), platform.tempPath + u"UpdateTemp1700000000-3\\");
    // A folder that cannot be made at all keeps the plain name, for the download to make.
    platform.makeFolderError = 5;
    EXPECT_EQ(app::MakeFreshWorkFolder(platform), first);
}

TEST(RunLockName, OneNameForEverySpellingOfAFolder) {
    const std::u16string longFolder = u"C:\\" + std::u16string(40000, u'd');
    const std::u16string name = app::RunLockName(u"C:\\Program Files\\App");
    for (const std::u16string same :
         {u"c:\\program files\\APP", u"C:\\Program Files\\App\\", u"C:/Program Files/App/"}) {
        EXPECT_EQ(app::RunLockName(same), name);
    }
    for (const std::u16string& other :
         {std::u16string(u"C:\\Program Files\\App2"), std::u16string(u"D:\\Program Files\\App"),
          std::u16string(), longFolder}) {
        EXPECT_NE(app::RunLockName(other), name);
        EXPECT_EQ(app::RunLockName(other).size(), name.size());
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
