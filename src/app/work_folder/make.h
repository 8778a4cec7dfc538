#pragma once
// Each run works in a folder of its own under the temporary directory, made here.

#include <optional>
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
// the first free suffix. None, with the reason in the log, when no fresh folder can be made: a
// folder that is there already may have been laid out by someone else, so it is never used.
std::optional<std::u16string> MakeFreshWorkFolder(Roles& roles);

}  // namespace app
