#pragma once
// Puts an unpacked update in place so that the application folder ends up either wholly new or
// exactly as it was, even across a crash: the stage lies beside the application on its volume,
// so every step is a rename; the whole plan is written to a journal in the backup folder and
// flushed before the first step; each file the update replaces is first moved into the backup
// folder under its own relative path.

#include <string>

#include "app/apply/undo_swap.h"
#include "app/run/roles.h"

namespace app {

struct SwapFolders {
    std::u16string stage;   // the unpacked update
    std::u16string target;  // the application folder
    std::u16string backup;  // made here; on the target's volume
};                          // each ends with a backslash

// Where the journal of a swap into these folders lies.
std::u16string JournalPath(const SwapFolders& folders);

enum class SwapResult {
    Placed,   // every file is in place; the journal, marked so, waits in the backup folder
    AsItWas,  // refused, failed or undone: the application folder is exactly as it was
    Broken,   // a step of the undo failed: the journal stays for the next start to repair
};

// Moves every file of stage into target (a folder target lacks moves in whole); files of
// target that stage does not hold stay. Refused before anything moves: a link in the stage, a path of the
// stage that goes through a link in target, a file of the update where target has a folder
// holding anything, or a folder where target has a file.
SwapResult SwapInStagedTree(Roles& roles, const SwapFolders& folders);

// After Placed: the update stays, the backup folder goes.
void FinishSwap(Roles& roles, const SwapFolders& folders);

// After Placed: the update is undone from the journal (marked first, so that a start after a
// crash goes on undoing). AsItWas or Broken.
SwapResult UndoPlacedSwap(Roles& roles, const SwapFolders& folders);

}  // namespace app
