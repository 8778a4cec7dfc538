#pragma once
// The launch string: "<current version>#<host window>#<manifest address>[#<options>[#ignored...]]".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/run/launch_options.h"

namespace app {

using LaunchArgs = std::vector<std::u16string>;

struct LaunchString {
    double currentVersion = 0.0;
    // A window handle as the host passes it: a signed 32-bit value, sign-extended by the
    // Win32 layer.
    std::int32_t hostWindow = 0;
    std::u16string manifestUrl;
};

// The launch string within the whole process command line: what follows the program's name (a
// quoted or an unquoted token), less the blanks and control characters right after the name.
std::u16string LaunchStringOf(const std::u16string& commandLine);

// Splits at every "#": n separators give n + 1 fields, none trimmed, empty ones kept.
LaunchArgs SplitLaunchString(const std::u16string& launchString);

// The three fields, converted; none when the string is empty or has fewer than three fields.
// Without an option field the numbers are read as far as they go, as hosts have always passed
// them; with one, a version or window that is not wholly a number is refused too.
std::optional<LaunchString> ReadLaunchString(const std::u16string& launchString);

// The fourth field's options; none given when there is no fourth field.
LaunchOptions OptionsOf(const std::u16string& launchString);

}  // namespace app
