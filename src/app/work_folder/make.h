#pragma once
// Each run works in a folder of its own under the temporary directory, made here.

#include <string>

#include "app/run/roles.h"

namespace app {

// Runs started within the same second get "-2", "-3", ... up to this.
inline constexpr int kMostWorkFolderSuffixes = 1000;

// The low 32 bits of the current time in seconds, as unsigned decimal text.
std::u16string GetRunNumber(Roles& roles);

// The temporary directory, "UpdateTemp", the run number and "\". Relative to the current
// folder when the system gives no temporary directory. Never created here.
std::u16string MakeWorkFolder(Roles& roles);

// MakeWorkFolder's name, made now; when a run of the same second has it already, the name with
// the first free suffix. When the folder cannot be made at all, the plain name, uncreated, as
// before: the download then makes it.
std::u16string MakeFreshWorkFolder(Roles& roles);

}  // namespace app
