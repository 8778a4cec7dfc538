#pragma once
// The boxes a run shows: owned by the host window while it exists, else by no window.

#include <cstdint>

#include "app/run/launch_options.h"
#include "app/run/outcome.h"
#include "app/run/roles.h"
#include "app/user/box_kinds.h"
#include "app/user/texts.h"

namespace app {

// A box owned by the host window, or by no window when the host's is gone or its owned box
// cannot be shown (a box whose owner has closed never appears). an answer of NotShown when no box
// could be shown at all.
BoxAnswer ShowBox(Roles& roles, std::int32_t owner, Text text, Text caption, BoxKind kind);
// The same with a body of its own, in the user's language already.
BoxAnswer ShowBox(Roles& roles, std::int32_t owner, const std::u16string& body, Text caption,
                  BoxKind kind);

// Writes "outcome: <name>" to the run log and shows the outcome's box, if it has one and
// somebody is there to read it; the box's answer is of no interest.
void ReportOutcome(Roles& roles, RunOutcome outcome, std::int32_t hostWindow,
                   const LaunchOptions& options);

}  // namespace app
