#pragma once
// A file that is in use (a host still closing, a virus scanner) is tried again for a couple of
// seconds before its step counts as failed.

#include <cstdint>
#include <functional>

#include "app/run/roles.h"

namespace app {

inline constexpr int kInUseRetries = 10;
inline constexpr std::uint32_t kInUseRetryPauseMs = 200;

// Windows answers access denied for some files held open as well, so both are tried again.
inline base::FileResult RetryingInUse(Roles& roles, const std::function<base::FileResult()>& step) {
    base::FileResult result = step();
    for (int retry = 0; retry < kInUseRetries && (result.Is(base::FileError::InUse) ||
                                                  result.Is(base::FileError::AccessDenied));
         ++retry) {
        roles.clock.Pause(kInUseRetryPauseMs);
        result = step();
    }
    return result;
}

}  // namespace app
