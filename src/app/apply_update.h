#pragma once
// Tells the host, waits for it to end, then either unpacks an archive into a staging folder and
// swaps it into the application folder before starting the run target, or starts an installer.

#include <cstdint>
#include <string>

#include "app/manifest_reader.h"
#include "app/platform.h"
#include "app/update_context.h"

namespace app {

inline constexpr std::uint32_t kUpdateMessage = 0x467;  // WM_USER + 103
inline constexpr std::uint32_t kPauseBeforeApplyMs = 1000;
// A host that neither answers nor ends within these does not stop the update: its files in
// use then make the swap roll back.
inline constexpr std::uint32_t kHostAnswerLimitMs = 30'000;
inline constexpr std::uint32_t kHostExitLimitMs = 30'000;
// An archiver still running after this is ended and counts as failed.
inline constexpr std::uint32_t kArchiverLimitMs = 10 * 60'000;

// 7z x "<package>" -o"<folder>" -aoa -y, of whatever length the two paths have. -y answers
// every question, so the archiver never waits for one.
std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& outFolder);

// The host's process, opened for waiting while the host window still exists; none when the
// window names no process or the process cannot be opened.
HostLookup FindHost(Platform& platform, std::int32_t hostWindow);

// appFolder ends with a backslash; packagePath is workFolder + packageName; host may be null.
// A failed unpack or swap leaves the application folder as it was and shows the failure box;
// the run target is started either way. True when an archive was unpacked and put in place.
bool ApplyUpdate(Platform& platform, const UpdateContext& context, ManifestResult result,
                 const std::u16string& appFolder, const std::u16string& packagePath,
                 ProcessWatch* host);

}  // namespace app
