#include "app/download_log.h"

namespace app {

void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report) {
    std::u16string line(what);
    line += u" ";
    line += address;
    line += u": HTTP " + DecimalText(report.status) + u", length " + DecimalText(report.length) +
            u", received " + DecimalText(report.received) + u", retries " +
            DecimalText(report.retries) + u", " + DecimalText(report.elapsedMs) + u" ms";
    if (report.error != net::DownloadError::None) {
        line += u", failed: ";
        line += net::DownloadErrorName(report.error);
        if (report.systemError != 0) line += u", error " + DecimalText(report.systemError);
    }
    log.Write(line);
}

}  // namespace app
