#pragma once
// The one question of a run: update to the version on offer now?

#include "app/manifest/offer.h"
#include "app/run/roles.h"

namespace app {

// Asks with a Yes/No box and logs the answer. Only Yes is consent: a box that could not be
// shown, even without owner, asked nobody.
bool UserAgreesToUpdate(Roles& roles, std::int32_t hostWindow, const Offer& offer);

}  // namespace app
