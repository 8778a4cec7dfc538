#pragma once
// Fetches update.xml (a copy goes into the work folder), checks its signature, and reads which
// package, if any, it offers.

#include "app/manifest/offer.h"
#include "app/run/roles.h"
#include "app/run/run_input.h"

namespace app {

struct Manifest {
    enum class Verdict { UpToDate, Failed, Offered };
    Verdict verdict = Verdict::Failed;
    // When Offered: the package as written; name, address and sha256 stay empty when the
    // package element holds no item.
    Offer offer;
    bool isSigned = false;  // the key file is there, so the signature was checked
};

// Shows nothing; writes each step and the verdict to the run's log.
Manifest ReadManifest(const RunInput& input, Roles& roles);

}  // namespace app
