#pragma once
// One update run from the launch string to the started package.

#include <optional>
#include <string>

#include "app/platform.h"
#include "app/run_outcome.h"
#include "app/update_context.h"

namespace app {

// Runs the update. Returns the outcome when the run ended early; nothing when it ran through
// or the user declined. Shows the question box, and the failure box of an update that could
// not be put in place.
std::optional<RunOutcome> RunUpdate(const std::u16string& launchString, UpdateContext& context,
                                    Platform& platform);

// RunUpdate, then the box of its early end, once the run's own objects are gone.
void RunAndReport(const std::u16string& launchString, UpdateContext& context, Platform& platform);

}  // namespace app
