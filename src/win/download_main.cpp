// download.exe [--resume] ADDRESS LOCALPATH: one download, exit code 0 when it succeeded and 1
// when not. The reason of a failure goes to stderr as UTF-8; the download's report goes to
// stdout as one line of name=value pairs. --resume resumes a dropped line as packages do.

#include <windows.h>

#include <cstdio>
#include <string>

#include "net/http_downloader.h"
#include "win/wininet_api.h"

namespace {

void PrintUtf8(const std::u16string& text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.c_str());
    const int wideLength = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, utf8.data(), size, nullptr, nullptr);
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

void PrintReport(const net::DownloadReport& report) {
    const std::u16string name(net::DownloadErrorName(report.error));
    std::printf("status=%d length=%lld received=%lld retries=%d error=%s system=%lu ms=%lld\n",
                report.status, static_cast<long long>(report.length),
                static_cast<long long>(report.received), report.retries,
                std::string(name.begin(), name.end()).c_str(),
                static_cast<unsigned long>(report.systemError),
                static_cast<long long>(report.elapsedMs));
}

int Run(int argc, wchar_t** argv) {
    net::DownloadOptions options;
    options.resume = argc == 4 && std::wstring(argv[1]) == L"--resume";
    if (argc != 3 && !options.resume) {
        PrintUtf8(u"usage: download.exe [--resume] ADDRESS LOCALPATH");
        return 1;
    }
    win::WinInetApi api;
    net::HttpDownloader downloader(api);
    const auto text = [](const wchar_t* arg) {
        return std::u16string(reinterpret_cast<const char16_t*>(arg));
    };
    const bool stored = downloader.Download(text(argv[argc - 2]), text(argv[argc - 1]), options);
    PrintReport(downloader.Report());
    if (stored) return 0;
    PrintUtf8(std::u16string(downloader.LastFailure()));
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        PrintUtf8(u"unexpected error");
        return 1;
    }
}
