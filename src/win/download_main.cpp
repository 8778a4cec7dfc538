// download.exe ADDRESS LOCALPATH: one download, exit code 0 when it succeeded and 1 when not.
// The reason of a failure goes to stderr as UTF-8.

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

int Run(int argc, wchar_t** argv) {
    if (argc != 3) {
        PrintUtf8(u"usage: download.exe ADDRESS LOCALPATH");
        return 1;
    }
    win::WinInetApi api;
    net::HttpDownloader downloader(api);
    const auto text = [](const wchar_t* arg) {
        return std::u16string(reinterpret_cast<const char16_t*>(arg));
    };
    if (downloader.Download(text(argv[1]), text(argv[2]))) return 0;
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
