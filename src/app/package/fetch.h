#pragma once
// The package download under the progress window, and what a cancel leaves behind.

#include <optional>
#include <string>

#include "app/manifest/offer.h"
#include "app/run/roles.h"

namespace app {

enum class PackageFetch {
    Stored,
    Failed,
    Cancelled,  // by the user: the partial package is deleted and nothing more is shown
};

struct FetchedPackage {
    PackageFetch end = PackageFetch::Failed;
    // The stored file's SHA-256, hashed as it was written, when the offer gives one to compare
    // with; none otherwise or when it could not be hashed.
    std::optional<Sha256Digest> digest;
};

// Downloads the offer's address into packagePath, resuming a dropped connection, with the
// progress window owned by the host window (none when it is gone), or no window at all when
// showWindow is false. An announced length beyond the offer's size fails before anything is
// written. Logs the download or the cancel.
FetchedPackage FetchPackage(Roles& roles, std::int32_t hostWindow, const Offer& offer,
                            const std::u16string& packagePath, bool showWindow = true);

}  // namespace app
