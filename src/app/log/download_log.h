#pragma once
// The run log's lines about downloads.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/log/run_log.h"
#include "base/text.h"
#include "net/http_downloader.h"

namespace app {

// The address as the log keeps it: without user name and password and without query or
// fragment, which may carry tokens that support staff need not see and the log keeps a week.
std::u16string AddressForLog(std::u16string_view address);

// The launch string with its address as AddressForLog gives it.
std::u16string LaunchStringForLog(std::u16string_view launchString);

// "<what> <address>: HTTP <status>, length <n>, received <n>, retries <n>, <ms> ms", and
// ", failed: <reason name>" (with ", error <GetLastError>" when a call failed) when it failed.
void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report);

}  // namespace app
