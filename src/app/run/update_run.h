#pragma once
// One update run from the launch string to the started package.

#include <cstdint>
#include <string>

#include "app/run/launch_options.h"
#include "app/run/outcome.h"
#include "app/run/roles.h"

namespace app {

struct RunEnd {
    RunOutcome outcome = RunOutcome::AnotherRunActive;
    std::int32_t hostWindow = 0;  // the owner of the outcome's box
    LaunchOptions options;        // from the launch string's fourth field
};

// The process's exit code: the outcome's own with an option field, else always 0.
int ExitCodeOf(const RunEnd& end);

// Runs the update up to its outcome; shows only the question box.
RunEnd RunUpdate(const std::u16string& launchString, Roles& roles);

// RunUpdate, then its outcome's log line and box. Returns the exit code.
int RunAndReport(const std::u16string& launchString, Roles& roles);

}  // namespace app
