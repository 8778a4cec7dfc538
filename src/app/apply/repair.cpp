#include "app/apply/repair.h"

#include "app/apply/journal.h"
#include "app/apply/undo_swap.h"

namespace app {
namespace {

// One backup folder, with its closing backslash.
void RepairBackup(Roles& roles, const std::u16string& appFolder, const std::u16string& backup) {
    const std::u16string journalPath = backup + std::u16string(kJournalName);
    Journal journal;
    const base::FileResult read = ReadJournal(roles.files, journalPath, journal);
    if (!read.Ok() && !read.Is(base::FileError::NotFound)) {
        roles.log.Write(u"repair: could not read " + journalPath + u": " + read.Describe() +
                        u"; left for the next start");
        return;
    }
    switch (journal.state) {
        case Journal::State::Unwritten:
            // No journal, or one whose plan never reached the disk: nothing had moved.
            roles.log.Write(u"repair: removing " + backup + u", no swap to end");
            break;
        case Journal::State::Placed:
            roles.log.Write(u"repair: every file of the swap in " + backup +
                            u" was in place; finishing it");
            break;
        case Journal::State::Planned:
        case Journal::State::RollingBack:
            roles.log.Write(u"repair: undoing the unfinished swap in " + backup);
            // Marked first, so that a second repair never finishes what this one began to undo.
            MarkJournal(roles.files, journalPath, JournalMark::RollingBack);
            if (!UndoPlan(roles, {appFolder + u"\\", backup}, journal.plan)) {
                roles.log.Write(u"repair incomplete: the journal in " + backup +
                                u" stays for the next start");
                return;
            }
            roles.log.Write(u"repair: the application folder is as it was before the swap");
            break;
    }
    RemoveOwnFolder(roles, backup);
}

}  // namespace

bool IsNumberedFolder(std::u16string_view name, std::u16string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return false;
    for (const char16_t c : name.substr(prefix.size())) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

void RepairApplicationFolder(Roles& roles, const std::u16string& appFolder) {
    if (appFolder.empty()) return;
    const std::u16string parent = appFolder + u"\\";
    // ListFolders leaves links out: a link named like one of ours is not one of ours.
    for (const base::FolderAge& folder : roles.files.ListFolders(parent, kBackupPrefix)) {
        if (IsNumberedFolder(folder.name, kBackupPrefix)) {
            RepairBackup(roles, appFolder, parent + folder.name + u"\\");
        }
    }
    for (const base::FolderAge& folder : roles.files.ListFolders(parent, kStagePrefix)) {
        if (!IsNumberedFolder(folder.name, kStagePrefix)) continue;
        roles.log.Write(u"repair: removing the leftover " + parent + folder.name);
        RemoveOwnFolder(roles, parent + folder.name);
    }
}

}  // namespace app
