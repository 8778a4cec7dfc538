#pragma once
// A publisher who ships update-key.pem beside the updater signs every manifest: then nothing
// unsigned is ever applied.

#include <string>
#include <string_view>

#include "app/platform.h"
#include "app/update_context.h"

namespace app {

// The key file beside updater.exe.
inline constexpr std::u16string_view kKeyFileName = u"update-key.pem";

// Without the key file: true, the manifest is taken as it comes. With it: fetches the
// manifest's address + ".sig" (a copy goes into the work folder as update.xml.sig) and verifies
// it over the manifest's bytes; true only when it holds. Sets context.manifestSigned when the key
// file is there. Writes each step to the run's log.
bool ManifestIsTrusted(Platform& platform, UpdateContext& context, std::string_view manifest);

}  // namespace app
