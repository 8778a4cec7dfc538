#pragma once
// The one question of a run: update to the version on offer now?

#include "app/run/roles.h"
#include "app/run/update_context.h"

namespace app {

// Asks with a Yes/No box and logs the answer. Only Yes is consent: a box that could not be
// shown, even without owner, asked nobody.
bool UserAgreesToUpdate(Roles& roles, const UpdateContext& context);

}  // namespace app
