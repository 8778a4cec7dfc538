#include "app/log/download_log.h"

namespace app {

std::u16string AddressForLog(std::u16string_view address) {
    address = address.substr(0, address.find_first_of(u"?#"));
    const std::size_t scheme = address.find(u"://");
    const std::size_t from = scheme == std::u16string_view::npos ? 0 : scheme + 3;
    const std::size_t path = address.find(u'/', from);
    const std::size_t at = address.substr(0, path).rfind(u'@');
    if (at == std::u16string_view::npos || at < from) return std::u16string(address);
    return std::u16string(address.substr(0, from)) + std::u16string(address.substr(at + 1));
}

std::u16string LaunchStringForLog(std::u16string_view launchString) {
    // The address is the third field; it ends at the next "#", if any.
    std::size_t start = 0;
    for (int field = 0; field < 2; ++field) {
        start = launchString.find(u'#', start);
        if (start == std::u16string_view::npos) return std::u16string(launchString);
        ++start;
    }
    const std::size_t end = launchString.find(u'#', start);
    const std::u16string_view rest =
        end == std::u16string_view::npos ? std::u16string_view() : launchString.substr(end);
    return std::u16string(launchString.substr(0, start)) +
           AddressForLog(launchString.substr(start, end - start)) + std::u16string(rest);
}

void LogDownload(RunLog& log, std::u16string_view what, std::u16string_view address,
                 const net::DownloadReport& report) {
    std::u16string line(what);
    line += u" ";
    line += AddressForLog(address);
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
