#include "net/http_downloader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "net/content_range.h"
#include "net/http_address.h"

namespace net {
namespace {

// Most heads fit; a longer one is asked for again at its size.
constexpr std::uint32_t kHeadBuffer = 4096;
// A response head beyond this is not an answer worth holding in memory.
constexpr std::uint32_t kLongestHead = 1u << 20;

using HeadBuffer = std::array<char, kHeadBuffer + 1>;  // and a terminating zero

std::string TextUpToZero(const char* text, std::size_t limit) {
    return std::string(text, strnlen(text, limit));
}

// Failures whose cause is the system error of the call that failed.
bool FromFailedCall(DownloadError error) {
    switch (error) {
        case DownloadError::OpenFailed:
        case DownloadError::ConnectFailed:
        case DownloadError::RequestFailed:
        case DownloadError::SendFailed:
        case DownloadError::HeadQueryFailed:
            return true;
        default:
            return false;
    }
}

}  // namespace

HttpDownloader::HttpDownloader(NetApi& netApi, base::Clock& timeSource)
    : api(netApi),
      clock(timeSource),
      internetHandle(netApi),
      connectionHandle(netApi),
      requestHandle(netApi) {}

HttpDownloader::~HttpDownloader() {
    CloseHandles();
}

void HttpDownloader::CloseHandles() {
    requestHandle.Reset();
    connectionHandle.Reset();
    internetHandle.Reset();
}

bool HttpDownloader::SplitAddress(const std::u16string& address) {
    const std::optional<AddressParts> parts = SplitAddressParts(address);
    // A refused address, like one without a path, keeps nothing of the last one.
    AddressParts split = parts.value_or(AddressParts{});
    secure = split.secure;
    server = std::move(split.server);
    objectPath = std::move(split.objectPath);
    return parts.has_value();
}

std::u16string HttpDownloader::BuildRequestHeaders() const {
    std::u16string block = u"Referer: ";
    block += server;
    block +=
        u"\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        u"Accept: */*\r\n"
        u"Connection: Keep-Alive\r\n";
    if (resumeFrom > 0) {
        const std::string from = std::to_string(resumeFrom);
        block += u"Range: bytes=" + std::u16string(from.begin(), from.end()) + u"-\r\n";
    }
    block += u"\r\n";
    return block;
}

bool HttpDownloader::Fail(DownloadError error) {
    report.error = error;
    report.systemError = FromFailedCall(error) ? api.LastError() : 0;
    return false;
}

bool HttpDownloader::FailInSink(DownloadError error, const base::FileResult& result) {
    report.error = error;
    report.systemError = result.systemCode;
    return false;
}

bool HttpDownloader::Download(const std::u16string& address, ByteSink& sink,
                              const DownloadOptions& options) {
    report = {};
    resumeFrom = 0;
    const std::uint64_t startMs = clock.SteadyMs();
    // One clock for all attempts: retries do not restart the 60 s rule.
    stall.emplace(startMs);
    bool stored = false;
    for (int attempt = 0;; ++attempt) {
        stored = Attempt(address, sink, options);
        if (stored || !Retryable() || attempt == kRetries) break;
        clock.Pause(kRetryPauseMs);
        if (stall->Stalled(clock.SteadyMs())) {
            Fail(DownloadError::Stalled);
            break;
        }
        if (options.progress && !options.progress(report.received, report.length)) {
            Cancel(sink);
            break;
        }
        ++report.retries;
        // A refused range, or a caller that takes no partial body, starts from zero.
        const bool keep = options.resume && report.error != DownloadError::RangeRefused;
        resumeFrom = keep ? report.received : 0;
    }
    if (stored) report.error = DownloadError::None, report.systemError = 0;
    report.elapsedMs = static_cast<std::int64_t>(clock.SteadyMs() - startMs);
    return stored;
}

bool HttpDownloader::Retryable() const {
    switch (report.error) {
        case DownloadError::DownloadFailed:
        case DownloadError::TimedOut:
        case DownloadError::RangeRefused:
            return true;
        case DownloadError::SendFailed:  // only when the line, not the server, said no
            return TimedOut() || report.systemError == kErrorAborted ||
                   report.systemError == kErrorReset;
        default:
            return false;
    }
}

bool HttpDownloader::TimedOut() const {
    return report.systemError == kErrorTimeout || report.systemError == kErrorSocketTimeout;
}

void HttpDownloader::SetTimeouts() {
    // On the request handle: Wine accepts a receive timeout on the InternetOpen handle but
    // ignores it there. Wine also reads the receive timeout only when the request is sent, so
    // a retry late in the 60 s window gets only what is left of it.
    api.SetOption(requestHandle.Get(), kOptionConnectTimeout, kTimeoutMs);
    api.SetOption(requestHandle.Get(), kOptionSendTimeout, kTimeoutMs);
    receiveTimeout = ReceiveTimeoutWithinStall();
    api.SetOption(requestHandle.Get(), kOptionReceiveTimeout, receiveTimeout);
}

bool HttpDownloader::Attempt(const std::u16string& address, ByteSink& sink,
                             const DownloadOptions& options) {
    CloseHandles();

    if (!internetHandle.Adopt(api.Open(u"Http-connect", kOpenTypePreconfig))) {
        return Fail(DownloadError::OpenFailed);
    }
    const bool known = SplitAddress(address);
    const std::optional<HostAndPort> target =
        SplitServer(server, secure ? kDefaultHttpsPort : kDefaultHttpPort);
    if (!known || !target ||
        !connectionHandle.Adopt(
            api.Connect(internetHandle.Get(), target->host, target->port, kServiceHttp))) {
        return Fail(DownloadError::ConnectFailed);
    }
    // Line breaks in the path would end the request line early and add lines of their own.
    if (HasControlCharacter(objectPath) ||
        !requestHandle.Adopt(api.OpenRequest(connectionHandle.Get(), u"GET", objectPath,
                                             u"HTTP/1.1", RequestFlags()))) {
        return Fail(DownloadError::RequestFailed);
    }
    SetTimeouts();
    const std::u16string headers = BuildRequestHeaders();
    if (headers.size() > UINT32_MAX ||
        !api.SendRequest(requestHandle.Get(), headers,
                         static_cast<std::uint32_t>(headers.size()))) {
        return Fail(DownloadError::SendFailed);
    }

    // Everything about the answer is checked before the sink is begun.
    std::string statusLine;
    if (!ReadStatusLine(statusLine)) return Fail(DownloadError::HeadQueryFailed);
    const std::optional<int> status = StatusCode(statusLine);
    report.status = status.value_or(0);
    if (secure && status && IsRedirect(*status)) return FollowSecureRedirect(sink, options);
    if (status == 404) return Fail(DownloadError::NotFound);
    if (!status || *status < 200 || *status > 299) return Fail(DownloadError::ServerError);

    std::int64_t expected = 0;
    if (!ReadContentLength(expected)) return Fail(DownloadError::HeadQueryFailed);
    // A resumed answer continues the stored part only when it says so exactly; any other
    // 2xx is the whole body again.
    const bool resumed = resumeFrom > 0 && status == 206;
    if (resumed && !RangeFits(expected)) return Fail(DownloadError::RangeRefused);
    if (!resumed) {
        report.length = expected;
        if (options.maxLength > 0 && expected > options.maxLength) {
            return Fail(DownloadError::TooLong);
        }
    }

    return StoreBody(sink, resumed ? resumeFrom : 0, options);
}

bool HttpDownloader::RangeFits(std::int64_t expected) {
    HeadBuffer buffer{};
    std::uint32_t length = kHeadBuffer;
    if (api.QueryInfo(requestHandle.Get(), kQueryContentRange, buffer.data(), length) !=
        QueryStatus::Ok) {
        return false;
    }
    const std::optional<ContentRange> range =
        ParseContentRange(TextUpToZero(buffer.data(), std::min(length, kHeadBuffer)));
    return range && range->first == resumeFrom && range->total == report.length &&
           range->last == range->total - 1 && expected == range->total - range->first;
}

std::uint32_t HttpDownloader::RequestFlags() const {
    // Certificate checks stay on: no flag that ignores certificate errors is ever set. WinINet
    // under Wine follows a redirect from https to http without a word, so secure requests
    // take their redirects by hand.
    return secure ? kFlagReload | kFlagSecure | kFlagNoAutoRedirect : kFlagReload;
}

bool HttpDownloader::FollowSecureRedirect(ByteSink& sink, const DownloadOptions& options) {
    HeadBuffer buffer{};
    std::uint32_t length = kHeadBuffer;
    if (redirectsLeft == 0 || api.QueryInfo(requestHandle.Get(), kQueryLocation, buffer.data(),
                                            length) != QueryStatus::Ok) {
        return Fail(DownloadError::RedirectRefused);
    }
    // Bytes as they are: a non-ASCII byte becomes a Latin-1 unit, never a sign-extended one.
    std::u16string location;
    for (const char c : TextUpToZero(buffer.data(), std::min(length, kHeadBuffer))) {
        location += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    const std::optional<std::u16string> next = SecureRedirectTarget(location, server);
    if (!next) return Fail(DownloadError::RedirectRefused);
    --redirectsLeft;
    const bool stored = Download(*next, sink, options);
    ++redirectsLeft;
    return stored;
}

bool HttpDownloader::ReadStatusLine(std::string& statusLine) {
    HeadBuffer buffer{};
    std::uint32_t length = kHeadBuffer;
    const QueryStatus first =
        api.QueryInfo(requestHandle.Get(), kQueryRawHeaders, buffer.data(), length);
    if (first == QueryStatus::Ok) {
        statusLine = TextUpToZero(buffer.data(), kHeadBuffer);
        return true;
    }
    if (first != QueryStatus::BufferTooSmall || length <= kHeadBuffer || length > kLongestHead) {
        return false;
    }
    // A long head: once more with the size the query asked for, plus room for a terminator.
    std::vector<char> longHead(std::size_t{length} + 1, '\0');
    if (api.QueryInfo(requestHandle.Get(), kQueryRawHeaders, longHead.data(), length) !=
        QueryStatus::Ok) {
        return false;
    }
    statusLine = TextUpToZero(longHead.data(), longHead.size() - 1);
    return true;
}

bool HttpDownloader::ReadContentLength(std::int64_t& expected) {
    HeadBuffer buffer{};
    std::uint32_t length = kHeadBuffer;
    if (api.QueryInfo(requestHandle.Get(), kQueryContentLength, buffer.data(), length) !=
        QueryStatus::Ok) {
        return false;
    }
    const std::string text = TextUpToZero(buffer.data(), std::min(length, kHeadBuffer));
    const std::optional<std::int64_t> value = ParseContentLength(text);
    if (!value) return false;
    expected = *value;
    return true;
}

}  // namespace net
