#pragma once
// The name of the lock that keeps a second updater off an application folder.

#include <string>
#include <string_view>

namespace app {

// "Local\UpdaterRun-" and 16 hex digits of a hash of the folder: one name for every spelling of
// the same folder that differs only in letter case (the caller folds the rest of Unicode
// first) or in trailing backslashes, and short enough for any folder length.
std::u16string RunLockName(std::u16string_view appFolder);

}  // namespace app
