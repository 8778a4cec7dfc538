#include "app/download_log.h"

namespace app {

std::u16string DecimalText(std::int64_t value) {
    // Unsigned, so that the most negative value has a magnitude too.
    std::uint64_t rest =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + rest % 10));
        rest /= 10;
    } while (rest != 0);
    if (value < 0) text.insert(text.begin(), u'-');
    return text;
}

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
