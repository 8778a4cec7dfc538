#pragma once
// The host application before an update is put in place: told with message 0x467, then
// waited for, so that it can save its work and let go of its files.

#include <cstdint>

#include "app/run/roles.h"

namespace app {

inline constexpr std::uint32_t kUpdateMessage = 0x467;  // WM_USER + 103
inline constexpr std::uint32_t kPauseBeforeApplyMs = 1000;
// A host that neither answers nor ends within these does not stop the update: its files in
// use then make the swap roll back.
inline constexpr std::uint32_t kHostAnswerLimitMs = 30'000;
inline constexpr std::uint32_t kHostExitLimitMs = 30'000;

// The host's process, opened for waiting while the host window still exists; none when the
// window names no process or the process cannot be opened.
HostLookup FindHost(Roles& roles, std::int32_t hostWindow);

// Sends the host window 0x467, pauses, and waits for host (which may be null) to end.
void TellHostAndWait(Roles& roles, std::int32_t hostWindow, ProcessWatch* host);

}  // namespace app
