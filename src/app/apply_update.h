#pragma once
// Tells the host, pauses, then unpacks an archive over the application folder and starts the
// run target, or starts an installer.

#include <cstdint>
#include <string>

#include "app/manifest_reader.h"
#include "app/platform.h"
#include "app/update_context.h"

namespace app {

inline constexpr std::uint32_t kUpdateMessage = 0x467;  // WM_USER + 103
inline constexpr std::uint32_t kPauseBeforeApplyMs = 1000;

// 7z x "<package>" -o"<appFolder>" -aoa, of whatever length the two paths have.
std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& appFolder);

// appFolder ends with a backslash; packagePath is workFolder + packageName. Every result but
// whether the archiver could be started is ignored; nothing is reported. True when an archive
// was unpacked.
bool ApplyUpdate(Platform& platform, const UpdateContext& context, ManifestResult result,
                 const std::u16string& appFolder, const std::u16string& packagePath);

}  // namespace app
