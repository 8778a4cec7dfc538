// The work folder's name, the application folder, and which package names stay in the former.

#include <gtest/gtest.h>

#include "app/manifest/package_name.h"
#include "app/run/run_input.h"
#include "app/work_folder/cleanup.h"
#include "app/work_folder/make.h"
#include "app/work_folder/run_lock.h"
#include "fake_roles.h"

namespace {

using apptest::Utf8;

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
        apptest::FakeRun run;
        run.processes.tempPath = c.temp;
        run.clock.calendarSeconds = c.now;
        EXPECT_EQ(app::MakeWorkFolder(run.roles), c.folder);
        EXPECT_EQ(app::AppFolderOf(c.module), c.app);
    }
}

TEST(WorkFolderCleanup, RemovesOnlyOurFoldersPastAWeekAndSkipsThoseThatStay) {
    constexpr std::int64_t now = 1700000000, week = app::kKeepWorkFoldersSeconds;
    apptest::FakeRun run;
    run.processes.tempPath = u"C:\\T\\";
    run.clock.calendarSeconds = now;
    run.files.AddFolder(u"C:\\T");
    // Gone: 1, 2-3 and 6. Kept: exactly a week old (3), from the future (4), one that cannot be
    // removed (5, the rest go on), and names not ours, however old.
    const std::pair<std::u16string, std::int64_t> folders[] = {{u"1", now - week - 1},
                                                               {u"2-3", now - week - 99},
                                                               {u"3", now - week},
                                                               {u"4", now + 3600},
                                                               {u"5", 0},
                                                               {u"6", 1},
                                                               {u"", 0},
                                                               {u"X", 0},
                                                               {u"1x", 0},
                                                               {u"1-", 0},
                                                               {u"-1", 0},
                                                               {u"1-2-3", 0},
                                                               {u" 8", 0}};
    for (const auto& [suffix, age] : folders) {
        run.files.AddFolder(u"C:\\T\\UpdateTemp" + suffix);
        run.files.ages[u"C:\\T\\UpdateTemp" + suffix] = age;
    }
    run.files.inUse[u"C:\\T\\UpdateTemp5"] = 1;
    app::RemoveOldWorkFolders(run.roles);
    for (const auto& [suffix, age] : folders) {
        const bool gone = suffix == u"1" || suffix == u"2-3" || suffix == u"6";
        EXPECT_EQ(run.files.Has(u"C:\\T\\UpdateTemp" + suffix), !gone) << Utf8(suffix);
    }
    EXPECT_EQ(run.log.lines.at(2),
              u"could not remove old work folder C:\\T\\UpdateTemp5: error 32");

    // Without a temporary directory, names would be relative to wherever the run started.
    run.processes.tempPath.clear();
    app::RemoveOldWorkFolders(run.roles);
    EXPECT_EQ(run.log.lines.size(), 4u);
}

TEST(WorkFolderCleanup, RunsOfTheSameSecondGetFoldersOfTheirOwn) {
    apptest::FakeRun run;
    EXPECT_EQ(app::MakeFreshWorkFolder(run.roles), run.WorkFolder() + u"\\");
    EXPECT_EQ(app::MakeFreshWorkFolder(run.roles), run.WorkFolder() + u"-2\\");
    EXPECT_EQ(app::MakeFreshWorkFolder(run.roles), run.WorkFolder() + u"-3\\");
    // A folder that cannot be made at all is no reason to use one that is there already.
    run.files.failAt = run.files.calls + 1;
    run.files.failWith = {base::FileError::AccessDenied, 5};
    EXPECT_EQ(app::MakeFreshWorkFolder(run.roles), std::nullopt);
    EXPECT_NE(run.log.lines.back().find(u"access denied (error 5)"), std::u16string::npos);
}

// Sub-folders of the work folder are made below the nearest level that is there, which must be
// a folder: a link below the temporary folder is refused, and nothing is made where it points.
TEST(MakeFoldersAbove, RefusesALinkOrAFileWhereItWouldMakeFolders) {
    for (const auto& [at, made] : std::initializer_list<std::pair<std::u16string, bool>>{
             {u"", true}, {u"C:\\Temp\\W\\pkg", false}, {u"C:\\Temp\\W", false}}) {
        apptest::FakeRun run;
        run.files.AddFolder(u"C:\\Temp\\W");
        if (!at.empty()) run.files.AddLink(at, true);  // in place of what was there
        const base::FileResult result =
            base::MakeFoldersAbove(run.files, u"C:\\Temp\\W\\pkg\\sub\\app.7z", u"C:\\Temp\\");
        EXPECT_EQ(result.Ok(), made) << Utf8(at);
        EXPECT_EQ(run.files.Has(u"C:\\Temp\\W\\pkg\\sub"), made) << Utf8(at);
        EXPECT_TRUE(run.files.linksFollowed.empty()) << Utf8(at);
    }
    apptest::FakeRun run;
    run.files.AddFile(u"C:\\Temp\\f", "x");
    EXPECT_EQ(base::MakeFoldersAbove(run.files, u"C:\\Temp\\f\\a\\b").error,
              base::FileError::NotFound);
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

TEST(IsRunFileName, RefusesNamesThatWouldOverwriteTheRunsOwnFiles) {
    for (const std::u16string name :
         {u"", u"\\.", u"update.xml", u"UPDATE.LOG", u".\\Update.Xml.Sig", u"update~1.sig",
          u"UPDATE~12.XML", u"up~3.log"}) {
        EXPECT_TRUE(app::IsRunFileName(name)) << apptest::Utf8(name);
    }
    for (const std::u16string name : {u"pkg\\update.log", u"update.xml.7z", u"app~1.7z",
                                      u"update~.sig", u"update~1x.log", u"app.7z"}) {
        EXPECT_FALSE(app::IsRunFileName(name)) << apptest::Utf8(name);
    }
}

}  // namespace
