#pragma once
// The run log's lines about downloads.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/log/run_log.h"
#include "base/text.h"
#include "net/http_downloader.h"

namespace app {

// "<what> <address>: HTTP <status>, length <n>, received <n>, retries <n>, <ms> ms", and
// ", failed: <reason name>" (with ", error <GetLastError>" when a call failed) when it failed.
void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report);

}  // namespace app
