// download.exe [--resume] [--sha256] ADDRESS LOCALPATH: one download, exit code 0 when it
// succeeded and 1 when not. The reason of a failure goes to stderr as UTF-8; the download's
// report goes to stdout as one line of name=value pairs. --resume resumes a dropped line as
// packages do; --sha256 hashes the body while it is written, as packages with a digest are,
// and reports the digest.
// The download is a watched transfer, as the updater's package under its progress window: on a
// worker thread with whole-chunk reads while the main thread keeps the 60 s rule.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/log/run_log.h"
#include "app/package/hashing_sink.h"
#include "base/text.h"
#include "net/http_downloader.h"
#include "win/clock.h"
#include "win/file_system.h"
#include "win/net_api.h"
#include "win/progress_transfer.h"
#include "win/trust.h"

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

void PrintReport(const net::DownloadReport& report,
                 const std::optional<app::Sha256Digest>& digest = std::nullopt) {
    const std::u16string name(net::DownloadErrorName(report.error));
    std::string hex;
    for (const std::uint8_t byte : digest.value_or(app::Sha256Digest{})) {
        for (const char16_t c : base::HexDigits(byte, 2)) hex += static_cast<char>(c);
    }
    std::printf(
        "status=%d length=%lld received=%lld retries=%d redirects=%d error=%s system=%lu "
        "ms=%lld%s%s\n",
        report.status, static_cast<long long>(report.length),
        static_cast<long long>(report.received), report.retries, report.redirects,
        std::string(name.begin(), name.end()).c_str(),
        static_cast<unsigned long>(report.systemError), static_cast<long long>(report.elapsedMs),
        digest ? " sha256=" : "", digest ? hex.c_str() : "");
}

// How often the main thread looks at the 60 s rule.
constexpr DWORD kWatchEveryMs = 250;

// What the worker touches; the transfer holds it for as long as it runs.
struct Download {
    Download(std::u16string url, std::u16string localPath, bool hash)
        : address(std::move(url)), sink(hash ? &trust : nullptr, files, std::move(localPath)) {}

    win::WinNetApi api;
    win::WinFileSystem files;
    win::WinClock clock;
    app::NoLog noLog;
    win::WinTrust trust{noLog};
    net::HttpDownloader downloader{api, clock};
    const std::u16string address;
    app::HashingSink sink;
    // The report as far as the worker got, for a stall the main thread ends.
    std::atomic<int> status{0}, retries{0};
    std::atomic<std::int64_t> length{-1}, received{0};
};

// No window, no cancel: the main thread only keeps the 60 s rule.
class Headless final : public win::TransferWatcher {
  public:
    bool CancelRequested() override { return false; }
    void Tick(std::int64_t, std::int64_t) override {}
    void Wait(HANDLE done) override { WaitForSingleObject(done, kWatchEveryMs); }
};

app::Transfer MakeTransfer(const std::shared_ptr<Download>& download, bool resume) {
    return [download, resume](const app::TransferProgress& progress, bool watched) {
        Download& shared = *download;
        net::DownloadOptions options;
        options.resume = resume;
        options.fullReads = watched;
        options.progress = [&shared, &progress](std::int64_t received, std::int64_t total) {
            // On the worker, which owns the report.
            const net::DownloadReport& report = shared.downloader.Report();
            shared.status = report.status;
            shared.retries = report.retries;
            shared.length = report.length;
            shared.received = received;
            return progress(received, total);
        };
        return shared.downloader.Download(shared.address, shared.sink, options);
    };
}

// The worker may be blocked in a read that no close wakes: report and end the process.
[[noreturn]] void EndStalled(const Download& download, std::uint64_t startMs) {
    net::DownloadReport report;
    report.status = download.status;
    report.retries = download.retries;
    report.length = download.length;
    report.received = download.received;
    report.error = net::DownloadError::Stalled;
    report.elapsedMs = static_cast<std::int64_t>(GetTickCount64() - startMs);
    PrintReport(report);
    PrintUtf8(std::u16string(net::DownloadErrorText(report.error)));
    std::fflush(stdout);
    std::fflush(stderr);
    ExitProcess(1);
}

int Run(int argc, wchar_t** argv) {
    bool resume = false, hash = false;
    int first = 1;
    for (; first < argc - 2; ++first) {
        const std::wstring flag = argv[first];
        if (flag == L"--resume") {
            resume = true;
        } else if (flag == L"--sha256") {
            hash = true;
        } else {
            break;
        }
    }
    if (argc < 3 || first != argc - 2) {
        PrintUtf8(u"usage: download.exe [--resume] [--sha256] ADDRESS LOCALPATH");
        return 1;
    }
    const auto text = [](const wchar_t* arg) {
        return std::u16string(reinterpret_cast<const char16_t*>(arg));
    };
    const std::uint64_t startMs = GetTickCount64();
    const auto download =
        std::make_shared<Download>(text(argv[argc - 2]), text(argv[argc - 1]), hash);
    Headless watcher;
    const app::TransferEnd end = win::RunWatchedTransfer(MakeTransfer(download, resume), watcher);
    if (end == app::TransferEnd::Stalled) EndStalled(*download, startMs);
    // Done or Failed: the transfer has returned and its report is settled.
    PrintReport(download->downloader.Report(), download->sink.Digest());
    if (end == app::TransferEnd::Done) return 0;
    PrintUtf8(std::u16string(download->downloader.LastFailure()));
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
