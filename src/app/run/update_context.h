#pragma once
// The record of one update run: filled from the launch string and the manifest, never cleared.

#include <cstdint>
#include <string>

namespace app {

struct UpdateContext {
    double currentVersion = 0.0;
    // A window handle as the host passes it: a signed 32-bit value, sign-extended by the
    // Win32 layer.
    std::int32_t hostWindow = 0;
    std::u16string manifestUrl;
    // The updater's own folder, without a closing backslash; empty when the system gives none.
    std::u16string appFolder;
    std::u16string runTarget;
    std::u16string workFolder;  // always ends with a backslash
    std::u16string packageName;
    std::u16string packageUrl;
    // The package element's sha256 attribute as written; empty when it has none.
    std::u16string packageSha256;
    // The manifest's signature was checked against update-key.pem.
    bool manifestSigned = false;
};

}  // namespace app
