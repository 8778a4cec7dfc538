#pragma once
// The downloaded package against the digest its manifest gives, before anything is started or
// unpacked.

#include <optional>
#include <string>

#include "app/manifest/offer.h"
#include "app/run/roles.h"

namespace app {

// True when the offer gives no digest or the download's digest (none: it could not be hashed)
// is the same; otherwise the file is deleted, so that nothing can take it for a good package
// later.
bool PackageMatchesDigest(Roles& roles, const Offer& offer, const std::u16string& packagePath,
                          const std::optional<Sha256Digest>& downloaded);

}  // namespace app
