#pragma once
// How a run ends early, and the one box each way of ending shows.

#include <cstdint>

#include "app/platform.h"

namespace app {

enum class RunOutcome : int {
    ParameterError = 0,  // empty launch string or fewer than three fields
    Failed = 1,          // manifest or package did not arrive or could not be used
    UpToDate = 2,        // the offered version is not newer
};

// Shows the box of an early end, owned by hostWindow; its answer is of no interest.
void ShowOutcome(Platform& platform, RunOutcome outcome, std::int32_t hostWindow);

}  // namespace app
