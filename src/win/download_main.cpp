// download.exe [--resume] ADDRESS LOCALPATH: one download, exit code 0 when it succeeded and 1
// when not. The reason of a failure goes to stderr as UTF-8; the download's report goes to
// stdout as one line of name=value pairs. --resume resumes a dropped line as packages do.
// The download runs on a worker thread with whole-chunk reads while the main thread keeps the
// 60 s rule, as the updater's progress window does.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "net/file_sink.h"
#include "net/http_downloader.h"
#include "net/transfer_watch.h"
#include "win/clock.h"
#include "win/file_system.h"
#include "win/net_api.h"

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

// How often the main thread looks at the 60 s rule.
constexpr DWORD kWatchEveryMs = 250;

// What the worker touches; it holds it for as long as it runs.
struct Download {
    Download(std::u16string address, std::u16string localPath, net::DownloadOptions options)
        : address(std::move(address)),
          sink(files, std::move(localPath)),
          options(std::move(options)) {}
    ~Download() {
        if (done) CloseHandle(done);
    }
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    win::WinNetApi api;
    win::WinFileSystem files;
    win::WinClock clock;
    net::HttpDownloader downloader{api, clock};
    const std::u16string address;
    net::FileSink sink;
    net::DownloadOptions options;
    std::atomic<bool> stored{false};
    // The report as far as the worker got, for a stall the main thread ends.
    std::atomic<int> status{0}, retries{0};
    std::atomic<std::int64_t> length{-1}, received{0};
    net::TransferWatch watch{GetTickCount64()};
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

DWORD WINAPI Work(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Download>> owned(
        static_cast<std::shared_ptr<Download>*>(parameter));
    Download& download = **owned;
    try {
        download.stored =
            download.downloader.Download(download.address, download.sink, download.options);
    } catch (...) {
        download.stored = false;  // out of memory in the worker: a failed download
    }
    SetEvent(download.done);
    return 0;
}

// Starts the worker; false when there is none, and the download has not begun.
bool StartWorker(const std::shared_ptr<Download>& download) {
    if (!download->done) return false;
    auto* parameter = new std::shared_ptr<Download>(download);
    const HANDLE thread = CreateThread(nullptr, 0, Work, parameter, 0, nullptr);
    if (!thread) {
        delete parameter;
        return false;
    }
    CloseHandle(thread);
    return true;
}

int Finish(const net::HttpDownloader& downloader, bool stored) {
    PrintReport(downloader.Report());
    if (stored) return 0;
    PrintUtf8(std::u16string(downloader.LastFailure()));
    return 1;
}

int Run(int argc, wchar_t** argv) {
    net::DownloadOptions options;
    options.resume = argc == 4 && std::wstring(argv[1]) == L"--resume";
    if (argc != 3 && !options.resume) {
        PrintUtf8(u"usage: download.exe [--resume] ADDRESS LOCALPATH");
        return 1;
    }
    const auto text = [](const wchar_t* arg) {
        return std::u16string(reinterpret_cast<const char16_t*>(arg));
    };
    const std::uint64_t startMs = GetTickCount64();
    auto download = std::make_shared<Download>(text(argv[argc - 2]), text(argv[argc - 1]), options);
    Download& shared = *download;
    shared.options.progress = [&shared](std::int64_t received, std::int64_t) {
        // On the worker, which owns the report.
        const net::DownloadReport& report = shared.downloader.Report();
        shared.status = report.status;
        shared.retries = report.retries;
        shared.length = report.length;
        shared.received = received;
        shared.watch.Received(received);
        return true;
    };
    shared.options.fullReads = true;
    if (!StartWorker(download)) {
        // No worker: the same download on this thread, with reads that keep the rule.
        shared.options.fullReads = false;
        const bool stored = shared.downloader.Download(shared.address, shared.sink, shared.options);
        return Finish(shared.downloader, stored);
    }
    while (WaitForSingleObject(shared.done, kWatchEveryMs) == WAIT_TIMEOUT) {
        if (!shared.watch.Stalled(GetTickCount64())) continue;
        // The worker may be blocked in a read that no close wakes: report and end the process.
        net::DownloadReport report;
        report.status = shared.status;
        report.retries = shared.retries;
        report.length = shared.length;
        report.received = shared.received;
        report.error = net::DownloadError::Stalled;
        report.elapsedMs = static_cast<std::int64_t>(GetTickCount64() - startMs);
        PrintReport(report);
        PrintUtf8(std::u16string(net::DownloadErrorText(report.error)));
        std::fflush(stdout);
        std::fflush(stderr);
        ExitProcess(1);
    }
    return Finish(shared.downloader, shared.stored);
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
