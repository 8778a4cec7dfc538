#pragma once
// The downloaded package held from its digest check until the archiver has exited or the
// installer has started, so that what runs is what was checked: no other process can change,
// rename or delete it meanwhile.

#include <memory>
#include <optional>
#include <string>

#include "app/manifest/offer.h"
#include "app/run/roles.h"

namespace app {

// Holds the package, then checks the offer's digest (when it gives one) against `written`, the
// digest of the bytes the download wrote, or, when the download gave none, against the file
// hashed while it is held. None, with the reason in the log, when it cannot be held or its
// digest differs; a package whose digest differs is deleted, so that nothing can take it for a
// good one later.
std::unique_ptr<base::HeldFile> HoldCheckedPackage(
    Roles& roles, const Offer& offer, const std::u16string& packagePath,
    const std::optional<Sha256Digest>& written = std::nullopt);

}  // namespace app
