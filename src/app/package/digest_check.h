#pragma once
// The package's sha256 from the manifest: checked in form before anything is fetched, and
// against the downloaded file before anything is started or unpacked.

#include <string>

#include "app/run/roles.h"
#include "app/run/update_context.h"

namespace app {

// False when the chosen package's sha256 is not 64 hex digits, or when a signed manifest gives
// none: a signature vouches for a package only through its digest.
bool PackageDigestIsUsable(Roles& roles, const UpdateContext& context);

// True when the manifest gives no sha256 or the file has that digest; otherwise the file is
// deleted, so that nothing can take it for a good package later.
bool PackageMatchesDigest(Roles& roles, const UpdateContext& context,
                          const std::u16string& packagePath);

}  // namespace app
