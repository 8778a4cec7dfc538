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

// Header bytes as they are: a non-ASCII byte becomes a Latin-1 unit, never a sign-extended one.
std::u16string Latin1(const std::string& bytes) {
    std::u16string text;
    for (const char c : bytes) text += static_cast<char16_t>(static_cast<unsigned char>(c));
    return text;
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
        // A body that changed on the server since comes whole (200), never spliced.
        block += u"If-Range: " + Latin1(validator) + u"\r\n";
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

bool HttpDownloader::Download(const std::u16string& from, ByteSink& sink,
                              const DownloadOptions& options) {
    report = {};
    resumeFrom = 0;
    validator.clear();
    nextAddress = from;
    const std::uint64_t startMs = clock.SteadyMs();
    // One clock for all attempts and redirects: neither restarts the 60 s rule.
    stall.emplace(startMs);
    bool stored = false;
    for (;;) {
        const AttemptEnd end = Attempt(sink, options);
        stored = end == AttemptEnd::Stored;
        if (stored) break;
        // A redirect is no retry: it goes on at once, with what is kept and its validator.
        if (end == AttemptEnd::Redirected) {
            if (!GoOn(sink, options)) break;
            continue;
        }
        if (!Retryable() || report.retries == kRetries) break;
        clock.Pause(kRetryPauseMs);
        if (!GoOn(sink, options)) break;
        ++report.retries;
        // A refused range, a caller that takes no partial body, or a body that cannot be told
        // from a newer one starts from zero.
        const bool keep =
            options.resume && report.error != DownloadError::RangeRefused && !validator.empty();
        resumeFrom = keep ? report.received : 0;
    }
    if (stored) report.error = DownloadError::None, report.systemError = 0;
    report.elapsedMs = static_cast<std::int64_t>(clock.SteadyMs() - startMs);
    return stored;
}

bool HttpDownloader::GoOn(ByteSink& sink, const DownloadOptions& options) {
    if (stall->Stalled(clock.SteadyMs())) return Fail(DownloadError::Stalled);
    if (options.progress && !options.progress(report.received, report.length)) {
        return Cancel(sink);
    }
    return true;
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

bool HttpDownloader::Request() {
    CloseHandles();
    if (!internetHandle.Adopt(api.Open(u"Http-connect", kOpenTypePreconfig))) {
        return Fail(DownloadError::OpenFailed);
    }
    const bool known = SplitAddress(nextAddress);
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
    return true;
}

HttpDownloader::AttemptEnd HttpDownloader::Attempt(ByteSink& sink, const DownloadOptions& options) {
    if (!Request()) return AttemptEnd::Failed;

    const auto failed = [this](DownloadError error) {
        Fail(error);
        return AttemptEnd::Failed;
    };
    // Everything about the answer is checked before the sink is begun.
    std::string statusLine;
    if (!ReadStatusLine(statusLine)) return failed(DownloadError::HeadQueryFailed);
    const std::optional<int> status = StatusCode(statusLine);
    report.status = status.value_or(0);
    if (status && IsRedirect(*status)) {
        return FollowRedirect() ? AttemptEnd::Redirected : AttemptEnd::Failed;
    }
    if (status == 404) return failed(DownloadError::NotFound);
    if (!status || *status < 200 || *status > 299) return failed(DownloadError::ServerError);
    // A part of the body is never taken for the whole of it.
    if (resumeFrom == 0 && status == 206) return failed(DownloadError::UnaskedRange);

    std::int64_t expected = 0;
    if (!ReadContentLength(expected)) return failed(DownloadError::HeadQueryFailed);
    // A resumed answer continues the stored part only when it says so exactly; any other
    // 2xx is the whole body again.
    const bool resumed = resumeFrom > 0 && status == 206;
    if (resumed && (!RangeFits(expected) || !SameValidator())) {
        return failed(DownloadError::RangeRefused);
    }
    if (!resumed) {
        report.length = expected;
        if (options.maxLength && expected > *options.maxLength) {
            return failed(DownloadError::TooLong);
        }
        KeepValidator();
    }

    return StoreBody(sink, resumed ? resumeFrom : 0, options) ? AttemptEnd::Stored
                                                              : AttemptEnd::Failed;
}

bool HttpDownloader::RangeFits(std::int64_t expected) {
    const std::optional<std::string> text = HeaderValue(kQueryContentRange);
    const std::optional<ContentRange> range = text ? ParseContentRange(*text) : std::nullopt;
    return range && range->first == resumeFrom && range->total == report.length &&
           range->last == range->total - 1 && expected == range->total - range->first;
}

std::optional<std::string> HttpDownloader::HeaderValue(std::uint32_t level) {
    HeadBuffer buffer{};
    std::uint32_t length = kHeadBuffer;
    if (api.QueryInfo(requestHandle.Get(), level, buffer.data(), length) != QueryStatus::Ok) {
        return std::nullopt;
    }
    return TextUpToZero(buffer.data(), std::min(length, kHeadBuffer));
}

void HttpDownloader::KeepValidator() {
    // A weak tag only says two bodies mean the same: no ground for splicing their bytes.
    std::optional<std::string> value = HeaderValue(kQueryETag);
    validatorIsTag = value && !value->empty() && !value->starts_with("W/");
    if (!validatorIsTag) value = HeaderValue(kQueryLastModified);
    validator = value && !HasControlCharacter(Latin1(*value)) ? *value : std::string();
}

bool HttpDownloader::SameValidator() {
    // For a server that sends the part whatever If-Range said: a tag it names must be ours.
    if (!validatorIsTag) return true;
    const std::optional<std::string> tag = HeaderValue(kQueryETag);
    return !tag || *tag == validator;
}

std::uint32_t HttpDownloader::RequestFlags() const {
    // Certificate checks stay on: no flag that ignores certificate errors is ever set.
    // Redirects are taken by hand: WinINet would follow them from https to http without a
    // word, to any host, and each would escape the download's redirect budget.
    return kFlagReload | kFlagNoAutoRedirect | (secure ? kFlagSecure : 0);
}

bool HttpDownloader::FollowRedirect() {
    const std::optional<std::string> location = HeaderValue(kQueryLocation);
    const std::optional<std::u16string> next =
        location ? RedirectTarget(Latin1(*location), server, secure) : std::nullopt;
    if (!next || report.redirects == kMostRedirects) return Fail(DownloadError::RedirectRefused);
    ++report.redirects;
    nextAddress = *next;
    return true;
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
    const std::optional<std::string> text = HeaderValue(kQueryContentLength);
    const std::optional<std::int64_t> value = text ? ParseContentLength(*text) : std::nullopt;
    if (!value) return false;
    expected = *value;
    return true;
}

}  // namespace net
