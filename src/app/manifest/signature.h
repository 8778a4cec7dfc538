#pragma once
// A publisher who ships update-key.pem beside the updater signs every manifest: then nothing
// unsigned is ever applied.

#include <string>

#include "app/run/roles.h"
#include "app/run/update_context.h"

namespace app {

// The key file beside updater.exe.
inline constexpr std::u16string_view kKeyFileName = u"update-key.pem";

// Without the key file: true, the manifest is taken as it comes. With it: fetches the
// manifest's address + ".sig" into the work folder as update.xml.sig and verifies it over the
// manifest's bytes; true only when it holds. Sets context.manifestSigned when the key file is
// there. Writes each step to the run's log.
bool ManifestIsTrusted(Roles& roles, UpdateContext& context, const std::u16string& manifestPath);

}  // namespace app
