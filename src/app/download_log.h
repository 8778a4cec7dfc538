#pragma once
// The run log's lines about downloads.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/run_log.h"
#include "net/http_downloader.h"

namespace app {

// Decimal text of a whole number, sign included.
std::u16string DecimalText(std::int64_t value);

// "<what> <address>: HTTP <status>, length <n>, received <n>, retries <n>, <ms> ms", and
// ", failed: <reason name>" (with ", error <GetLastError>" when a call failed) when it failed.
void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report);

}  // namespace app
