#pragma once
// The downloaded package put to use once the host has been told: an installer is started; an
// archive is unpacked beside the application, swapped in with its journal, and kept only once
// the new version has started well. The apply step is one call, whichever process makes it.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/run/roles.h"

namespace app {

// The new version counts as started well once it runs this long, or ends with exit code 0
// within it; until then the old files wait in the backup.
inline constexpr std::uint32_t kHealthWatchMs = 10'000;

// Starts runTarget (relative to appFolder) as the user gets the application back; nothing when
// it is empty.
void StartRunTarget(Roles& roles, const std::u16string& appFolder, const std::u16string& runTarget);

// True for a name the system runs as a program itself (.exe, .com), any case.
bool IsProgramFile(std::u16string_view file);

// False when the shell could not start it.
bool StartInstaller(Roles& roles, const std::u16string& packagePath);

struct ApplyRequest {
    std::u16string appFolder;    // without a closing backslash
    std::u16string packagePath;  // the archive
    std::u16string runTarget;    // relative to appFolder; empty: nothing is started
};

enum class ApplyResult {
    Applied,     // the new version is in place and started well (or there is nothing to start)
    NotApplied,  // refused, or failed and undone: exactly as it was; the old target started
    Unhealthy,   // the new version did not start well: undone, the old target started
    Broken,      // an undo step failed: the journal stays for the next start; nothing started
};

// Unpacks the archive with the application folder's 7z.exe into a hidden UpdateStage<n>
// folder beside the application, swaps it in (journal in UpdateBackup<n>), starts the run
// target and watches it. No UpdateStage or UpdateBackup folder stays unless Broken.
ApplyResult ApplyArchive(Roles& roles, const ApplyRequest& request);

}  // namespace app
