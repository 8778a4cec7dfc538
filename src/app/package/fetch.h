#pragma once
// The package download under the progress window, and what a cancel leaves behind.

#include <string>

#include "app/run/roles.h"

namespace app {

enum class PackageFetch {
    Stored,
    Failed,
    Cancelled,  // by the user: the partial package is deleted and nothing more is shown
};

// Downloads address into packagePath, resuming a dropped connection, with the progress window
// owned by the host window (none when it is gone), or no window at all when showWindow is
// false. Logs the download or the cancel.
PackageFetch FetchPackage(Roles& roles, std::int32_t hostWindow, const std::u16string& address,
                          const std::u16string& packagePath, bool showWindow = true);

}  // namespace app
