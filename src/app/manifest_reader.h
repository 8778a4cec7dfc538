#pragma once
// Fetches update.xml (a copy goes into the work folder) and decides which package, if any, applies.

#include "app/platform.h"
#include "app/update_context.h"

namespace app {

enum class ManifestResult : int {
    UpToDate = 0,
    Failed = 1,
    InstallerPackage = 2,
    ArchivePackage = 3,
};

// Reads manifestUrl, workFolder and currentVersion; writes runTarget (once the offer is known
// to be newer) and the package entry (only when a package element was found). Shows nothing.
ManifestResult ReadManifest(UpdateContext& context, Platform& platform);

}  // namespace app
