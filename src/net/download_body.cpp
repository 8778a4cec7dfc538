// The body of one answer. By default each read asks only for what is already there, so it
// returns as soon as data came and the 60 s rule and a cancel never wait on a full 64 KiB
// buffer; with fullReads each read asks for a whole chunk and the caller watches from outside.

#include <algorithm>
#include <vector>

#include "net/http_downloader.h"

namespace net {

bool HttpDownloader::StoreBody(ByteSink& sink, std::int64_t from, const DownloadOptions& options) {
    if (const base::FileResult begun = sink.Begin(from, report.length); !begun.Ok()) {
        return FailInSink(begun.Is(base::FileError::DiskFull) ? DownloadError::NoSpace
                                                              : DownloadError::CreateFileFailed,
                          begun);
    }
    const auto carryOn = [&](std::int64_t stored) {
        return !options.progress || options.progress(stored, report.length);
    };

    std::vector<char> buffer(kChunkSize);
    std::int64_t count = from;
    DownloadError ended = DownloadError::None;
    std::uint32_t systemError = 0;
    base::FileResult written;
    bool cancelled = !carryOn(count);
    while (!cancelled && count < report.length) {
        if (stall->Stalled(clock.SteadyMs())) {
            ended = DownloadError::Stalled;
            break;
        }
        KeepReceiveTimeoutWithinStall();
        std::uint32_t available = kChunkSize;
        std::uint32_t read = 0;
        if (!options.fullReads && !api.QueryDataAvailable(requestHandle.Get(), available)) {
            systemError = api.LastError();
        } else if (available > 0) {
            // Never more than announced: a server that sends on past its length is cut there.
            const auto toRead = static_cast<std::uint32_t>(
                std::min<std::int64_t>({available, kChunkSize, report.length - count}));
            if (!api.ReadFile(requestHandle.Get(), buffer.data(), toRead, read)) {
                systemError = api.LastError();
                read = 0;
            } else if (read > toRead) {
                read = 0;
            }
        }
        if (read == 0) {
            // Nothing there: the connection closed, failed or timed out.
            report.systemError = systemError;
            ended = TimedOut() ? DownloadError::TimedOut : DownloadError::DownloadFailed;
            break;
        }
        written = sink.Write(buffer.data(), read);
        if (!written.Ok()) {
            ended = DownloadError::WriteFailed;
            break;
        }
        count += read;
        stall->Arrived(clock.SteadyMs(), read);
        cancelled = !carryOn(count);
    }
    report.received = count;
    // A full disk may first show when the sink finishes.
    if (const base::FileResult finished = sink.Finish();
        !finished.Ok() && ended != DownloadError::WriteFailed) {
        ended = DownloadError::WriteFailed;
        written = finished;
    }

    if (cancelled) return Cancel(sink);
    // A dropped line that has also gone a minute without a KiB is not worth another try.
    if (ended != DownloadError::None && ended != DownloadError::WriteFailed &&
        stall->Stalled(clock.SteadyMs())) {
        ended = DownloadError::Stalled;
    }
    if (ended == DownloadError::None) return true;
    if (ended == DownloadError::WriteFailed) return FailInSink(ended, written);
    Fail(ended);
    report.systemError = systemError;
    return false;
}

std::uint32_t HttpDownloader::ReceiveTimeoutWithinStall() {
    // A read that waits must give up no later than the 60 s rule would end the download.
    const std::uint64_t now = clock.SteadyMs();
    const std::uint64_t left = stall->DeadlineMs() > now ? stall->DeadlineMs() - now : 1;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(kTimeoutMs, left));
}

void HttpDownloader::KeepReceiveTimeoutWithinStall() {
    // Windows applies a new receive timeout to the next read; Wine keeps the one of the send.
    const std::uint32_t wanted = ReceiveTimeoutWithinStall();
    if (wanted == receiveTimeout) return;
    api.SetOption(requestHandle.Get(), kOptionReceiveTimeout, wanted);
    receiveTimeout = wanted;
}

bool HttpDownloader::Cancel(ByteSink& sink) {
    sink.Discard();
    return Fail(DownloadError::Cancelled);
}

}  // namespace net
