#pragma once
// The one question of a run: update to the version on offer now?

#include "app/manifest/offer.h"
#include "app/run/roles.h"

namespace app {

// Asks with a Yes/No box, the offer's release notes under the question, and logs the answer.
// Only Yes is consent: a box that could not be shown, even without owner, asked nobody. A
// silent run asks nobody: the host's call is the consent.
bool UserAgreesToUpdate(Roles& roles, std::int32_t hostWindow, const Offer& offer, bool silent);

}  // namespace app
