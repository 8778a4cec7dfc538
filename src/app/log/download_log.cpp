#include "app/log/download_log.h"

namespace app {

void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report) {
    std::u16string line(what);
    line += u" ";
    line += address;
    line += u": HTTP " + base::DecimalText(report.status) + u", length " +
            base::DecimalText(report.length) + u", received " + base::DecimalText(report.received) +
            u", retries " + base::DecimalText(report.retries) + u", " +
            base::DecimalText(report.elapsedMs) + u" ms";
    if (report.error != net::DownloadError::None) {
        line += u", failed: ";
        line += net::DownloadErrorName(report.error);
        if (report.systemError != 0) line += u", error " + base::DecimalText(report.systemError);
    }
    log.Write(line);
}

}  // namespace app
