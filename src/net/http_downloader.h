#pragma once
// One HTTP GET download into a byte sink over the WinINet-shaped seam.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/clock.h"
#include "net/byte_sink.h"
#include "net/download_error.h"
#include "net/net_api.h"
#include "net/owned_net_handle.h"
#include "net/stall_watch.h"

namespace net {

// What a caller asks of one download beyond fetching it.
struct DownloadOptions {
    // An announced length beyond this fails before the sink is begun; none: no limit.
    std::optional<std::int64_t> maxLength;
    // Packages: a connection that drops or times out part-way is resumed with Range requests,
    // sent with If-Range and the first answer's ETag or Last-Modified (an answer without
    // either is fetched whole again); without it such a download is fetched whole again.
    // Either way at most kRetries times.
    bool resume = false;
    // Called when a body starts and after each read, with the bytes stored and the whole
    // length; false stops the download at once and discards what the sink holds.
    std::function<bool(std::int64_t received, std::int64_t total)> progress;
    // Each body read asks for a whole chunk (no more than is left of the announced length)
    // instead of what has already arrived: several times faster, but on a trickling line such
    // a read returns only once its buffer fills. Only for a caller that keeps the 60 s rule and
    // a cancel from another thread (see TransferWatch), since the read may outlast both.
    bool fullReads = false;
};

// What the last download saw, for the run's log.
struct DownloadReport {
    int status = 0;             // HTTP status of the last answer; 0 before one arrived
    std::int64_t length = -1;   // the whole body's announced length; -1 before it was read
    std::int64_t received = 0;  // body bytes stored
    int retries = 0;            // requests made again after the first
    int redirects = 0;          // redirects followed
    DownloadError error = DownloadError::None;
    std::uint32_t systemError = 0;  // GetLastError of the failing call; 0 when no call failed
    std::int64_t elapsedMs = 0;     // the whole download, retries and pauses included
};

class HttpDownloader {
  public:
    static constexpr int kRetries = 3;
    static constexpr std::uint32_t kRetryPauseMs = 3000;
    static constexpr std::uint32_t kTimeoutMs = 30'000;  // connect, send and receive
    static constexpr std::uint32_t kChunkSize = 64 * 1024;
    // Redirects of one download in all, its retries included; one more is refused.
    static constexpr int kMostRedirects = 5;

    HttpDownloader(NetApi& api, base::Clock& clock);
    ~HttpDownloader();
    HttpDownloader(const HttpDownloader&) = delete;
    HttpDownloader& operator=(const HttpDownloader&) = delete;

    // Fetches the address into the sink; true only when the whole announced body is stored.
    // Redirects are followed by hand, never from https to http; retries go to the address
    // the last redirect named, and all of them share one retry budget and one 60 s rule.
    bool Download(const std::u16string& address, ByteSink& sink,
                  const DownloadOptions& options = {});

    // Splits an address into server (host and any ":port") and objectPath (from the first "/"),
    // and notes whether it is https; false for an address of another scheme.
    bool SplitAddress(const std::u16string& address);
    // The extra request headers sent with every GET; 99 units plus the server's length, and
    // Range and If-Range lines when a download resumes.
    std::u16string BuildRequestHeaders() const;
    // Closes request, connection and internet handle, in that order.
    void CloseHandles();

    const std::u16string& Server() const { return server; }
    const std::u16string& ObjectPath() const { return objectPath; }
    bool Secure() const { return secure; }
    NetHandle InternetHandle() const { return internetHandle.Get(); }
    NetHandle ConnectionHandle() const { return connectionHandle.Get(); }
    NetHandle RequestHandle() const { return requestHandle.Get(); }
    const DownloadReport& Report() const { return report; }
    // Why the last Download returned false; empty after a success.
    std::u16string_view LastFailure() const { return DownloadErrorText(report.error); }

  private:
    enum class AttemptEnd { Stored, Failed, Redirected };

    bool Fail(DownloadError error);
    bool FailInSink(DownloadError error, const base::FileResult& result);
    std::uint32_t RequestFlags() const;
    bool FollowRedirect();
    bool TimedOut() const;
    bool Retryable() const;
    bool GoOn(ByteSink& sink, const DownloadOptions& options);
    AttemptEnd Attempt(ByteSink& sink, const DownloadOptions& options);
    bool Request();
    void SetTimeouts();
    bool ReadStatusLine(std::string& statusLine);
    bool ReadContentLength(std::int64_t& expected);
    bool RangeFits(std::int64_t expected);
    std::optional<std::string> HeaderValue(std::uint32_t level);
    void KeepValidator();
    bool SameValidator();
    // In download_body.cpp: the body from `from` on, read as it arrives.
    bool StoreBody(ByteSink& sink, std::int64_t from, const DownloadOptions& options);
    std::uint32_t ReceiveTimeoutWithinStall();
    void KeepReceiveTimeoutWithinStall();
    bool Cancel(ByteSink& sink);

    NetApi& api;
    base::Clock& clock;
    std::u16string server;
    std::u16string objectPath;
    bool secure = false;
    std::u16string nextAddress;  // where the next request goes: the last redirect's target
    // Declared in opening order so that destruction closes them in reverse.
    OwnedNetHandle internetHandle;
    OwnedNetHandle connectionHandle;
    OwnedNetHandle requestHandle;
    DownloadReport report;
    std::int64_t resumeFrom = 0;  // the offset the next request asks for; 0: the whole body
    // The stored body's ETag (strong only) or else Last-Modified, for If-Range; empty: none,
    // and then nothing stored is resumed.
    std::string validator;
    bool validatorIsTag = false;
    std::optional<StallWatch> stall;
    std::uint32_t receiveTimeout = 0;  // as set on the current request
};

}  // namespace net
