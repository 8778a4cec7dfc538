#pragma once
// Ending a swap from its journal, whoever started it: finished (the backup goes) or undone
// (every old file back, every new one gone). Undoing looks at what is on the disk for each
// planned step, so it can be stopped at any point and simply run again.

#include <string>
#include <vector>

#include "app/apply/journal.h"
#include "app/run/roles.h"

namespace app {

// target and backup end with a backslash.
struct SwapPlace {
    std::u16string target;  // the application folder
    std::u16string backup;  // holds the journal and, under kKeptFolderName, the old files
};

// Undoes the plan's steps, last first, going on past a step that fails. True when every step
// is undone, so the application folder is exactly as it was.
bool UndoPlan(Roles& roles, const SwapPlace& place, const std::vector<PlannedStep>& plan);

// Removes a folder of the updater's own beside the application (a backup folder with its
// journal, a stage); a failure is logged, and what is left over goes at a later start.
void RemoveOwnFolder(Roles& roles, const std::u16string& folder);

}  // namespace app
