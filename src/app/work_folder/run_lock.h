#pragma once
// The name of the lock that keeps a second updater off an application folder.

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// A second updater started while the first watches the new version (which may have started
// it) waits this long for the lock: the watch, and the removal of the old files after it.
inline constexpr std::uint32_t kRunLockWaitMs = 30'000;

// "Local\UpdaterRun-" and 16 hex digits of a hash of the folder: one name for every spelling of
// the same folder that differs only in letter case (the caller folds the rest of Unicode
// first) or in trailing backslashes, and short enough for any folder length.
std::u16string RunLockName(std::u16string_view appFolder);

}  // namespace app
