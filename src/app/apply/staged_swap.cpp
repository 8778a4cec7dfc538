#include "app/apply/staged_swap.h"

#include <optional>
#include <set>
#include <vector>

#include "app/apply/in_use_retry.h"
#include "app/apply/journal.h"
#include "base/text.h"

namespace app {
namespace {

// The step a stage entry needs, or the reason it refuses the update.
struct Planning {
    std::optional<PlannedStep> step;  // none: nothing to do (a folder that is there)
    std::u16string refusal;           // not empty: the update is refused
};

// Whether path lies inside one of the folders (paths relative to the same root).
bool InsideOneOf(const std::set<std::u16string>& folders, const std::u16string& path) {
    for (std::size_t at = path.find(u'\\'); at != std::u16string::npos;
         at = path.find(u'\\', at + 1)) {
        if (folders.contains(path.substr(0, at))) return true;
    }
    return false;
}

class Swap {
  public:
    Swap(Roles& swapRoles, const SwapFolders& swapFolders)
        : roles(swapRoles), files(swapRoles.files), folders(swapFolders) {}

    SwapResult Run() {
        if (!MakePlan()) return SwapResult::AsItWas;
        if (const base::FileResult made = files.MakeFolder(folders.backup); !made.Ok()) {
            Refused(u"could not create " + folders.backup + u": " + made.Describe());
            return SwapResult::AsItWas;
        }
        const std::u16string journal = JournalPath(folders);
        if (const base::FileResult written = WriteJournal(files, journal, plan); !written.Ok()) {
            Write(u"swap failed: could not write the journal " + journal + u": " +
                  written.Describe());
            RemoveOwnFolder(roles, folders.backup);
            return SwapResult::AsItWas;
        }
        for (const PlannedStep& step : plan) {
            if (const base::FileResult done = Take(step); !done.Ok()) {
                Write(u"swap failed: " + folders.target + step.path + u": " + done.Describe());
                return UndoAll();
            }
        }
        if (const base::FileResult marked = MarkJournal(files, journal, JournalMark::Placed);
            !marked.Ok()) {
            Write(u"swap failed: could not mark the journal: " + marked.Describe());
            return UndoAll();
        }
        Write(u"swap: " + base::DecimalText(static_cast<std::int64_t>(plan.size())) +
              u" steps in place");
        return SwapResult::Placed;
    }

  private:
    bool MakePlan() {
        std::vector<base::TreeEntry> entries;
        if (const base::FileResult listed = files.ListTree(folders.stage, entries); !listed.Ok()) {
            return Refused(u"could not list " + folders.stage + u": " + listed.Describe());
        }
        // A folder the application does not have moves in whole, with one rename. The listing
        // puts each folder before its contents, though not always right before them.
        std::set<std::u16string> movedWhole;
        for (const base::TreeEntry& entry : entries) {
            if (entry.link) return Refused(u"the update holds a link: " + entry.path);
            if (InsideOneOf(movedWhole, entry.path)) continue;
            const Planning planning = Plan(entry);
            if (!planning.refusal.empty()) return Refused(planning.refusal);
            if (!planning.step) continue;
            plan.push_back(*planning.step);
            if (planning.step->kind == PlannedStep::Kind::NewFolder) movedWhole.insert(entry.path);
        }
        return true;
    }

    // The stage lists each folder before its contents, so every level of a path is looked at
    // before anything below it.
    Planning Plan(const base::TreeEntry& entry) {
        const std::u16string path = folders.target + entry.path;
        switch (files.KindOf(path)) {
            case base::EntryKind::Link:
                return {{}, path + u" is a link, which the update would go through"};
            case base::EntryKind::None:
                return {PlannedStep{entry.folder ? PlannedStep::Kind::NewFolder
                                                 : PlannedStep::Kind::NewFile,
                                    entry.path},
                        {}};
            case base::EntryKind::Folder:
                if (entry.folder) return {};
                if (!IsEmptyFolder(path)) {
                    return {{}, u"the update has a file where " + path + u" is a folder"};
                }
                return {PlannedStep{PlannedStep::Kind::KeptFolder, entry.path}, {}};
            case base::EntryKind::File:
                if (entry.folder) {
                    return {{}, u"the update has a folder where " + path + u" is a file"};
                }
                return {PlannedStep{PlannedStep::Kind::KeptFile, entry.path}, {}};
        }
        return {};
    }

    bool IsEmptyFolder(const std::u16string& path) {
        std::vector<base::TreeEntry> inside;
        return files.ListTree(path, inside).Ok() && inside.empty();
    }

    base::FileResult Take(const PlannedStep& step) {
        const std::u16string path = folders.target + step.path;
        if (step.kind != PlannedStep::Kind::NewFile && step.kind != PlannedStep::Kind::NewFolder) {
            // Moved aside within its volume: this works for a running program as well.
            const std::u16string kept =
                folders.backup + std::u16string(kKeptFolderName) + u"\\" + step.path;
            base::FileResult moved = base::MakeFoldersAbove(files, kept, folders.backup);
            if (moved.Ok()) moved = RetryingInUse(roles, [&] { return files.Move(path, kept); });
            if (!moved.Ok()) return moved;
        }
        return RetryingInUse(roles, [&] { return files.Move(folders.stage + step.path, path); });
    }

    SwapResult UndoAll() {
        if (!UndoPlan(roles, {folders.target, folders.backup}, plan)) {
            Write(u"rollback incomplete: the journal in " + folders.backup +
                  u" stays for the next start");
            return SwapResult::Broken;
        }
        RemoveOwnFolder(roles, folders.backup);
        Write(u"rollback: the application folder is as it was");
        return SwapResult::AsItWas;
    }

    bool Refused(const std::u16string& reason) {
        Write(u"swap refused, nothing changed: " + reason);
        return false;
    }

    void Write(const std::u16string& line) { roles.log.Write(line); }

    Roles& roles;
    base::FileSystem& files;
    const SwapFolders& folders;
    std::vector<PlannedStep> plan;
};

}  // namespace

std::u16string JournalPath(const SwapFolders& folders) {
    return folders.backup + std::u16string(kJournalName);
}

SwapResult SwapInStagedTree(Roles& roles, const SwapFolders& folders) {
    return Swap(roles, folders).Run();
}

void FinishSwap(Roles& roles, const SwapFolders& folders) {
    RemoveOwnFolder(roles, folders.backup);
}

SwapResult UndoPlacedSwap(Roles& roles, const SwapFolders& folders) {
    const std::u16string journalPath = JournalPath(folders);
    Journal journal;
    base::FileResult result = ReadJournal(roles.files, journalPath, journal);
    if (result.Ok()) result = MarkJournal(roles.files, journalPath, JournalMark::RollingBack);
    if (!result.Ok()) {
        roles.log.Write(u"rollback: the journal " + journalPath + u" failed: " + result.Describe());
        return SwapResult::Broken;
    }
    if (!UndoPlan(roles, {folders.target, folders.backup}, journal.plan)) {
        roles.log.Write(u"rollback incomplete: the journal in " + folders.backup +
                        u" stays for the next start");
        return SwapResult::Broken;
    }
    RemoveOwnFolder(roles, folders.backup);
    roles.log.Write(u"rollback: the application folder is as it was");
    return SwapResult::AsItWas;
}

}  // namespace app
