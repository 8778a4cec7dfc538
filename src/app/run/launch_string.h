#pragma once
// The launch string: "<current version>#<host window>#<manifest address>[#ignored...]".

#include <string>
#include <vector>

#include "app/run/update_context.h"

namespace app {

using LaunchArgs = std::vector<std::u16string>;

// The launch string within the whole process command line: what follows the program's name (a
// quoted or an unquoted token), less the blanks and control characters right after the name.
std::u16string LaunchStringOf(const std::u16string& commandLine);

// Splits at every "#": n separators give n + 1 fields, none trimmed, empty ones kept.
LaunchArgs SplitLaunchString(const std::u16string& launchString);

// Fills currentVersion, hostWindow and manifestUrl from the launch string. False (and the
// context untouched) when the string is empty or has fewer than three fields.
bool ReadLaunchString(const std::u16string& launchString, UpdateContext& context);

}  // namespace app
