#pragma once
// The apply step for an application folder this process may not write: everything up to the
// host wait runs here, unelevated; the apply runs in a second copy started through the
// elevation prompt, which checks everything again for itself.

#include <string>

#include "app/run/outcome.h"
#include "app/run/roles.h"
#include "app/run/run_input.h"

namespace app {

// The file the elevated copy writes its log to, in the application folder, where only an
// administrator can change it; its lines are copied into this run's update.log.
inline constexpr std::u16string_view kElevatedLogName = u"UpdateApply.log";

// False only when a probe file cannot be created in the folder for want of rights; any other
// failure leaves the apply to find out for itself, as it always has.
bool CanWriteFolder(Roles& roles, const std::u16string& folder);

struct ElevatedApply {
    RunOutcome outcome = RunOutcome::ArchiveNotApplied;
    bool startTargetHere = false;  // the run target (new or old) is this copy's to start
};

// Starts the elevated copy on the work folder, waits for it, and turns its end into this
// run's outcome. A declined prompt changes nothing and is a failed update.
ElevatedApply ApplyElevated(Roles& roles, const RunInput& input);

}  // namespace app
