#pragma once
// How a run ends early, and the boxes the run shows.

#include <cstdint>
#include <string>

#include "app/platform.h"

namespace app {

enum class RunOutcome : int {
    ParameterError = 0,  // empty launch string or fewer than three fields
    Failed = 1,          // manifest or package did not arrive or could not be used
    UpToDate = 2,        // the offered version is not newer
};

// A box owned by the host window, or by no window when the host's is gone or its owned box
// cannot be shown (a box whose owner has closed never appears). Returns the button, or 0 or
// below when no box could be shown at all.
int ShowBox(Platform& platform, std::int32_t owner, const std::u16string& text,
            const std::u16string& caption, std::uint32_t flags);

// Shows the box of an early end; its answer is of no interest.
void ShowOutcome(Platform& platform, RunOutcome outcome, std::int32_t hostWindow);

}  // namespace app
