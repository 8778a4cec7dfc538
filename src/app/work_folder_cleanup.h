#pragma once
// Work folders of earlier runs are removed once a week old; a new run never shares one.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/platform.h"

namespace app {

inline constexpr std::int64_t kKeepWorkFoldersSeconds = 7 * 24 * 60 * 60;
// Runs started within the same second get "-2", "-3", ... up to this.
inline constexpr int kMostWorkFolderSuffixes = 1000;

// "UpdateTemp" and decimal digits, optionally "-" and more digits: the names this program
// gives its work folders, and nothing else (case as written).
bool IsWorkFolderName(std::u16string_view name);

// Removes the work folders of earlier runs under the temporary directory that were last
// written more than kKeepWorkFoldersSeconds ago; one that cannot be removed is left and logged.
// Nothing is removed when the system gives no temporary directory.
void RemoveOldWorkFolders(Platform& platform);

// MakeWorkFolder's name, made now; when a run of the same second has it already, the name with
// the first free suffix. When the folder cannot be made at all, the plain name, uncreated, as
// before: the download then makes it.
std::u16string MakeFreshWorkFolder(Platform& platform);

}  // namespace app
