#pragma once
// A publisher who ships update-key.pem beside the updater signs every manifest: then nothing
// unsigned is ever applied.

#include <string>
#include <string_view>

#include "app/run/roles.h"
#include "app/run/run_input.h"

namespace app {

// The key file beside updater.exe.
inline constexpr std::u16string_view kKeyFileName = u"update-key.pem";

enum class ManifestTrust {
    Unchecked,  // no key file: the manifest is taken as it comes
    Holds,      // the key file is there and the signature holds
    Refused,    // the key file is there (or cannot be looked for) and no signature holds
};

// With the key file beside the updater, fetches the manifest's address + ".sig" (a copy goes
// into the work folder as update.xml.sig) and verifies it over the manifest's bytes. Writes
// each step to the run's log.
ManifestTrust CheckManifestSignature(Roles& roles, const RunInput& input,
                                     std::string_view manifest);

// The same check over a manifest and a signature already at hand (as the elevated copy reads
// them from the work folder), with the key file beside appFolder's updater.
ManifestTrust CheckStoredManifestSignature(Roles& roles, const std::u16string& appFolder,
                                           std::string_view manifest, std::string_view der);

}  // namespace app
