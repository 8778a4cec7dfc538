#pragma once
// Where a run keeps its files, and where the updater itself lies.

#include <string>

#include "app/platform.h"

namespace app {

// The low 32 bits of the current time in seconds, as unsigned decimal text.
std::u16string GetRunNumber(Platform& platform);

// The temporary directory, "UpdateTemp", the run number and "\". Relative to the current
// folder when the system gives no temporary directory. Never created here.
std::u16string MakeWorkFolder(Platform& platform);

// The folder of the updater's own executable, without a trailing backslash; the whole path
// when it holds no backslash, empty when the system gives none.
std::u16string GetAppFolder(Platform& platform);

}  // namespace app
