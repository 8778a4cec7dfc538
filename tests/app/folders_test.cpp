// The work folder's name, the application folder, and which package names stay in the former.

#include <gtest/gtest.h>

#include "app/manifest/package_name.h"
#include "app/run/run_input.h"
#include "app/work_folder/cleanup.h"
#include "app/work_folder/make.h"
#include "app/work_folder/run_lock.h"
#include "fake_platform.h"

namespace {

TEST(Folders, WorkFolderIsTempUpdateTempAndTheLow32BitsOfTheClockAppFolderThatOfTheModule) {
    const std::u16string longTemp = u"C:\\" + std::u16string(300, u'x') + u"\\";
    const struct {
        std::u16string temp;
        std::int64_t now;
        std::u16string folder, module, app;
    } cases[] = {
        {u"C:\\Temp\\", 0xFFFFFFFFLL, u"C:\\Temp\\UpdateTemp4294967295\\", u"C:\\updater.exe",
         u"C:"},
        {u"C:\\Temp\\", 0x100000007LL, u"C:\\Temp\\UpdateTemp7\\", u"updater.exe", u"updater.exe"},
        // No temp folder: relative.
        {u"", 42, u"UpdateTemp42\\", u"C:\\App\\updater.exe", u"C:\\App"},
        // Never cut at 260.
        {longTemp, 5, longTemp + u"UpdateTemp5\\", longTemp + u"updater.exe",
         longTemp.substr(0, 303)},
    };
    for (const auto& c : cases) {
        apptest::FakePlatform platform;
        platform.tempPath = c.temp;
        platform.now = c.now;
        platform.modulePath = c.module;
        EXPECT_EQ(app::MakeWorkFolder(platform), c.folder);
        EXPECT_EQ(app::GetAppFolder(platform), c.app);
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
        {u"UpdateTemp6", 1},
    };
    // Not ours, however old.
    for (const char16_t* name :
         {u"UpdateTemp", u"UpdateTempX", u"UpdateTemp1x", u"UpdateTemp1-", u"UpdateTemp-1",
          u"UpdateTemp1-2-3", u"updatetemp7", u"UpdateTemp 8", u"UpdateTemp\\..\\9"}) {
        platform.workFolders.push_back({name, 0});
    }
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
