#pragma once
// One update run from the launch string to the started package.

#include <string>

#include "app/run/outcome.h"
#include "app/run/roles.h"
#include "app/run/update_context.h"

namespace app {

// Runs the update up to its outcome; shows only the question box. The application's run
// target is left to start once the outcome has been reported.
RunOutcome RunUpdate(const std::u16string& launchString, UpdateContext& context, Roles& roles);

// RunUpdate, then its outcome's log line and box, then the run target after an archive.
void RunAndReport(const std::u16string& launchString, UpdateContext& context, Roles& roles);

}  // namespace app
