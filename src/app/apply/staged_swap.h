#pragma once
// Puts an unpacked update in place so that the application folder ends up either wholly new or
// exactly as it was: every file the update replaces is first moved aside into a backup folder
// on the application folder's volume, and any failure undoes every step taken.

#include <cstdint>
#include <string>

#include "app/run/roles.h"

namespace app {

// A file that is in use (a host still closing, a virus scanner) is tried again this often,
// this long apart.
inline constexpr int kInUseRetries = 10;
inline constexpr std::uint32_t kInUseRetryPauseMs = 200;

struct SwapFolders {
    std::u16string stage;   // the unpacked update
    std::u16string target;  // the application folder
    std::u16string backup;  // made and removed here; on the target's volume
};                          // each ends with a backslash

// Moves every file of stage into target, making folders as needed; files of target that
// stage does not hold stay. True when all of it is in place; false when it was undone.
bool SwapInStagedTree(Roles& roles, const SwapFolders& folders);

}  // namespace app
