// The swap and its repair over a file system that fails one call at a time or stops dead after
// any call: whatever happens, the application folder ends up either wholly updated or exactly
// as it was, at once or after the next start's repair, with nothing of ours left beside it.

#include "app/apply/staged_swap.h"

#include <gtest/gtest.h>

#include "app/apply/in_use_retry.h"
#include "app/apply/journal.h"
#include "app/apply/repair.h"
#include "fake_roles.h"

namespace {

using Tree = fakes::MemoryFileSystem::Tree;
using app::SwapResult;

const app::SwapFolders kFolders{u"C:\\App\\UpdateStage1\\", u"C:\\App\\",
                                u"C:\\App\\UpdateBackup1\\"};

// Adds each "path\" as a folder and each "path=content" as a file under root.
void Add(fakes::MemoryFileSystem& files, const std::u16string& root,
         std::initializer_list<std::u16string> entries) {
    for (const std::u16string& entry : entries) {
        const std::size_t is = entry.find(u'=');
        if (is == std::u16string::npos) files.AddFolder(root + entry);
        if (is != std::u16string::npos) {
            files.AddFile(root + entry.substr(0, is), apptest::Utf8(entry.substr(is + 1)));
        }
    }
}

// An application folder with files the update replaces or leaves alone, and an empty folder
// it turns into a file; an update that adds nested folders. Answers the folder before.
Tree Prepare(fakes::MemoryFileSystem& files) {
    Add(files, kFolders.target,
        {u"", u"lib\\", u"lib\\keep\\", u"empty\\", u"App.exe=old exe", u"data.txt=old data",
         u"user.ini=settings", u"lib\\a.dll=old a", u"lib\\keep\\k.txt=kept"});
    const Tree before = files.Under(kFolders.target);
    Add(files, kFolders.stage,
        {u"", u"lib\\", u"docs\\", u"plugins\\", u"plugins\\x\\", u"App.exe=new exe",
         u"data.txt=new data", u"empty=a file now", u"lib\\a.dll=new a", u"lib\\b.dll=new b",
         u"docs\\readme.txt=readme", u"plugins\\x\\y.txt=y"});
    return before;
}

Tree Updated() {
    fakes::MemoryFileSystem files;
    Add(files, u"A\\",
        {u"App.exe=new exe", u"data.txt=new data", u"user.ini=settings", u"empty=a file now",
         u"lib\\", u"lib\\a.dll=new a", u"lib\\b.dll=new b", u"lib\\keep\\",
         u"lib\\keep\\k.txt=kept", u"docs\\", u"docs\\readme.txt=readme", u"plugins\\",
         u"plugins\\x\\", u"plugins\\x\\y.txt=y"});
    return files.Under(u"A");
}

// The application folder without the stage, which the caller removes after any swap.
Tree AppTree(const fakes::MemoryFileSystem& files) {
    Tree tree = files.Under(kFolders.target);
    std::erase_if(tree, [](const auto& e) { return e.first.starts_with(u"UpdateStage"); });
    return tree;
}

// A swap, finished when it placed everything.
SwapResult SwapAndFinish(apptest::FakeRun& run) {
    const SwapResult result = app::SwapInStagedTree(run.roles, kFolders);
    if (result == SwapResult::Placed) app::FinishSwap(run.roles, kFolders);
    return result;
}

// Call k of the swap fails (disk full), or the process dies after it; so may a health check's
// undo of the placed swap. After a failed call the folder is exact at once unless an undo step
// failed (broken; only the backup may wait for the next start); after a crash, the next
// start's repair may itself die after any call, and the start after that leaves it exact.
TEST(SwapInStagedTree, AFailureOrACrashAtAnyCallEndsInTheExactOldOrNewTree) {
    int outcomes[3] = {};  // old, new, broken
    for (const bool crash : {false, true}) {
        for (const bool undoPlaced : {false, true}) {
            apptest::FakeRun whole;  // how many calls there are to fail
            Prepare(whole.files);
            if (SwapAndFinish(whole) == SwapResult::Placed && undoPlaced) {
                app::UndoPlacedSwap(whole.roles, kFolders);
            }
            for (int at = 1; at <= whole.files.calls; ++at) {
                for (int repairAt = 1;; ++repairAt) {
                    apptest::FakeRun run;
                    const Tree before = Prepare(run.files);
                    (crash ? run.files.stopAfter : run.files.failAt) = at;
                    SwapResult result = SwapAndFinish(run);
                    if (result == SwapResult::Placed && undoPlaced) {
                        result = app::UndoPlacedSwap(run.roles, kFolders);
                    }
                    outcomes[2] += result == SwapResult::Broken;
                    Tree now = AppTree(run.files);
                    std::erase_if(now,
                                  [](const auto& e) { return e.first.starts_with(u"Update"); });
                    // One failure can break only an undo of its own, not the swap's undo.
                    if (!crash && !undoPlaced) {
                        EXPECT_NE(result, SwapResult::Broken) << at;
                    }
                    if (!crash && result != SwapResult::Broken) {
                        EXPECT_TRUE(now == before || now == Updated()) << at;
                    }
                    run.files.failAt = 0;
                    run.files.stopAfter = crash ? run.files.calls + repairAt : 0;
                    app::RepairApplicationFolder(run.roles, u"C:\\App");
                    const bool repairCrashed = run.files.calls > run.files.stopAfter;
                    run.files.stopAfter = 0;
                    app::RepairApplicationFolder(run.roles, u"C:\\App");
                    const Tree after = run.files.Under(kFolders.target);
                    EXPECT_TRUE(after == before || after == Updated())
                        << crash << " at " << at << ", repair at " << repairAt;
                    ++outcomes[after == before ? 0 : 1];
                    if (!crash || !repairCrashed) break;
                }
            }
        }
    }
    EXPECT_GT(outcomes[0], 0);
    EXPECT_GT(outcomes[1], 0);
    EXPECT_GT(outcomes[2], 0);
}

TEST(SwapInStagedTree, LinksAndFoldersForFilesRefuseTheUpdateBeforeAnythingMoves) {
    const struct {
        const char* what;
        std::u16string link;  // a link to a folder here
        std::initializer_list<std::u16string> app, stage;
    } cases[] = {
        {"a link in the update", u"C:\\App\\UpdateStage1\\plugins", {}, {u"plugins\\"}},
        {"a path through a link", u"C:\\App\\lib", {}, {u"lib\\", u"lib\\x.dll=x"}},
        {"a file for a folder that holds files",
         {},
         {u"data\\", u"data\\settings.ini=mine"},
         {u"data=file"}},
        {"a folder for a file", {}, {u"tool=file"}, {u"tool\\", u"tool\\t.exe=t"}},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        Add(run.files, kFolders.target, {u"", u"App.exe=old"});
        Add(run.files, kFolders.target, c.app);
        Add(run.files, kFolders.stage, {u"", u"App.exe=new"});
        Add(run.files, kFolders.stage, c.stage);
        if (!c.link.empty()) run.files.AddLink(c.link, true);
        const Tree before = AppTree(run.files);
        EXPECT_EQ(app::SwapInStagedTree(run.roles, kFolders), SwapResult::AsItWas) << c.what;
        EXPECT_EQ(AppTree(run.files), before) << c.what;
        EXPECT_TRUE(run.files.linksFollowed.empty()) << c.what;
        EXPECT_NE(run.log.lines.back().find(u"swap refused, nothing changed"), std::u16string::npos)
            << c.what;
    }
}

TEST(SwapInStagedTree, FilesInUseAreRetriedForACoupleOfSecondsThenRolledBack) {
    for (const int busyCalls : {3, app::kInUseRetries, 1000}) {
        apptest::FakeRun run;
        const Tree before = Prepare(run.files);
        run.files.inUse[u"C:\\App\\lib\\a.dll"] = busyCalls;
        const bool applied = SwapAndFinish(run) == SwapResult::Placed;
        EXPECT_EQ(applied, busyCalls <= app::kInUseRetries) << busyCalls;
        EXPECT_EQ(AppTree(run.files), applied ? Updated() : before);
        if (!applied) {
            EXPECT_EQ(run.clock.pauses.size(), static_cast<std::size_t>(app::kInUseRetries));
            EXPECT_GE(app::kInUseRetries * app::kInUseRetryPauseMs, 2000u);
        }
    }
}

TEST(Journal, NamesComeBackExactlyAndAPlanCutShortMovedNothing) {
    const std::vector<app::PlannedStep> plan = {
        {app::PlannedStep::Kind::NewFolder, u"新 folder"},
        {app::PlannedStep::Kind::KeptFile, u"新 folder\\a b.txt"},
        {app::PlannedStep::Kind::KeptFolder, u"\U0001F600\xD800x"},  // a lone surrogate too
        {app::PlannedStep::Kind::NewFile, u"z"}};
    const std::string text = app::JournalText(plan);
    EXPECT_EQ(app::ParseJournal(text).plan, plan);
    EXPECT_EQ(app::ParseJournal(text).state, app::Journal::State::Planned);
    EXPECT_EQ(app::ParseJournal(text + "placed\n").state, app::Journal::State::Placed);
    EXPECT_EQ(app::ParseJournal(text + "placed\nrolling back\n").state,
              app::Journal::State::RollingBack);
    // A mark cut short is no mark; a plan cut short, or none, never started a move.
    EXPECT_EQ(app::ParseJournal(text + "plac").state, app::Journal::State::Planned);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{10}, text.size() - 1}) {
        EXPECT_EQ(app::ParseJournal(text.substr(0, cut)), app::Journal{}) << cut;
    }
}

TEST(RepairApplicationFolder, RemovesOurLeftoversAndNothingElse) {
    apptest::FakeRun run;
    Add(run.files, kFolders.target,
        {u"", u"UpdateBackup7\\", u"UpdateBackup7\\files\\", u"UpdateBackup7\\files\\1=old",
         u"UpdateStage3\\", u"UpdateStage3\\x=y", u"UpdateBackupOfMine\\", u"UpdateStage\\",
         u"App.exe=app"});
    run.files.AddLink(u"C:\\App\\UpdateStage9", true);
    app::RepairApplicationFolder(run.roles, u"C:\\App");
    const Tree left = run.files.Under(kFolders.target);
    EXPECT_EQ(left.size(), 4u);
    for (const std::u16string kept :
         {u"App.exe", u"UpdateBackupOfMine", u"UpdateStage", u"UpdateStage9"}) {
        EXPECT_TRUE(left.contains(kept)) << apptest::Utf8(kept);
    }
    EXPECT_TRUE(run.files.linksFollowed.empty());
}

}  // namespace
