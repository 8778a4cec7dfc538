#pragma once
// Work folders of earlier runs are removed once a week old.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/run/roles.h"

namespace app {

inline constexpr std::int64_t kKeepWorkFoldersSeconds = 7 * 24 * 60 * 60;

// "UpdateTemp" and decimal digits, optionally "-" and more digits: the names this program
// gives its work folders, and nothing else (case as written).
bool IsWorkFolderName(std::u16string_view name);

// Removes the work folders of earlier runs under the temporary directory that were last
// written more than kKeepWorkFoldersSeconds ago; one that cannot be removed is left and logged.
// Nothing is removed when the system gives no temporary directory.
void RemoveOldWorkFolders(Roles& roles);

}  // namespace app
