#include "net/http_downloader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "net/http_address.h"

namespace net {
namespace {

constexpr std::uint32_t kChunkSize = 4096;
// A response head beyond this is not an answer worth holding in memory.
constexpr std::uint32_t kLongestHead = 1u << 20;

using ChunkBuffer = std::array<char, kChunkSize + 1>;  // one chunk and a terminating zero

std::string TextUpToZero(const char* text, std::size_t limit) {
    return std::string(text, strnlen(text, limit));
}

}  // namespace

HttpDownloader::HttpDownloader(NetApi& api)
    : api(api), internetHandle(api), connectionHandle(api), requestHandle(api) {}

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
        u"Connection: Keep-Alive\r\n\r\n";
    return block;
}

bool HttpDownloader::Fail(DownloadError error) {
    report.error = error;
    return false;
}

bool HttpDownloader::Download(const std::u16string& address, const std::u16string& localPath,
                              const DownloadOptions& options) {
    report = {};
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
    const std::u16string headers = BuildRequestHeaders();
    if (headers.size() > UINT32_MAX ||
        !api.SendRequest(requestHandle.Get(), headers,
                         static_cast<std::uint32_t>(headers.size()))) {
        return Fail(DownloadError::SendFailed);
    }

    // Everything about the answer is checked before the disk is touched.
    std::string statusLine;
    if (!ReadStatusLine(statusLine)) return Fail(DownloadError::HeadQueryFailed);
    const std::optional<int> status = StatusCode(statusLine);
    report.status = status.value_or(0);
    if (secure && status && IsRedirect(*status)) return FollowSecureRedirect(localPath, options);
    if (status == 404) return Fail(DownloadError::NotFound);
    if (!status || *status < 200 || *status > 299) return Fail(DownloadError::ServerError);

    std::int64_t expected = 0;
    if (!ReadContentLength(expected)) return Fail(DownloadError::HeadQueryFailed);
    report.length = expected;
    if (options.maxLength > 0 && expected > options.maxLength) {
        return Fail(DownloadError::TooLong);
    }

    MakeFolders(localPath);
    return StoreBody(localPath, expected);
}

std::uint32_t HttpDownloader::RequestFlags() const {
    // Certificate checks stay on: no flag that ignores certificate errors is ever set. WinINet
    // under Wine follows a redirect from https to http without a word, so secure requests
    // take their redirects by hand.
    return secure ? kFlagReload | kFlagSecure | kFlagNoAutoRedirect : kFlagReload;
}

bool HttpDownloader::FollowSecureRedirect(const std::u16string& localPath,
                                          const DownloadOptions& options) {
    ChunkBuffer buffer{};
    std::uint32_t length = kChunkSize;
    if (redirectsLeft == 0 || api.QueryInfo(requestHandle.Get(), kQueryLocation, buffer.data(),
                                            length) != QueryStatus::Ok) {
        return Fail(DownloadError::RedirectRefused);
    }
    // Bytes as they are: a non-ASCII byte becomes a Latin-1 unit, never a sign-extended one.
    std::u16string location;
    for (const char c : TextUpToZero(buffer.data(), std::min(length, kChunkSize))) {
        location += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    const std::optional<std::u16string> next = SecureRedirectTarget(location, server);
    if (!next) return Fail(DownloadError::RedirectRefused);
    --redirectsLeft;
    const bool stored = Download(*next, localPath, options);
    ++redirectsLeft;
    return stored;
}

bool HttpDownloader::ReadStatusLine(std::string& statusLine) {
    ChunkBuffer buffer{};
    std::uint32_t length = kChunkSize;
    const QueryStatus first =
        api.QueryInfo(requestHandle.Get(), kQueryRawHeaders, buffer.data(), length);
    if (first == QueryStatus::Ok) {
        statusLine = TextUpToZero(buffer.data(), kChunkSize);
        return true;
    }
    if (first != QueryStatus::BufferTooSmall || length <= kChunkSize || length > kLongestHead) {
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
    ChunkBuffer buffer{};
    std::uint32_t length = kChunkSize;
    if (api.QueryInfo(requestHandle.Get(), kQueryContentLength, buffer.data(), length) !=
        QueryStatus::Ok) {
        return false;
    }
    const std::string text = TextUpToZero(buffer.data(), std::min(length, kChunkSize));
    const std::optional<std::int64_t> value = ParseContentLength(text);
    if (!value) return false;
    expected = *value;
    return true;
}

void HttpDownloader::MakeFolders(const std::u16string& localPath) {
    // Every prefix up to a backslash is a folder level; outermost first.
    for (std::size_t i = localPath.find(u'\\'); i != std::u16string::npos;
         i = localPath.find(u'\\', i + 1)) {
        const std::u16string folder = localPath.substr(0, i);
        if (!api.PathExists(folder)) api.CreateFolder(folder);
    }
}

bool HttpDownloader::StoreBody(const std::u16string& localPath, std::int64_t expected) {
    std::FILE* file = api.OpenOutputFile(localPath);
    if (!file) return Fail(DownloadError::CreateFileFailed);

    ChunkBuffer buffer{};
    std::int64_t count = 0;
    bool writeFailed = false;
    for (;;) {
        // Never more than announced: a server that sends on past its length is cut there.
        const auto toRead =
            static_cast<std::uint32_t>(std::min<std::int64_t>(kChunkSize, expected - count));
        if (toRead == 0) break;
        std::uint32_t read = 0;
        // A read error ends the body like its end does; the length check below decides.
        if (!api.ReadFile(requestHandle.Get(), buffer.data(), toRead, read) || read == 0 ||
            read > toRead) {
            break;
        }
        if (std::fwrite(buffer.data(), 1, read, file) != read) {
            writeFailed = true;
            break;
        }
        count += read;
    }
    report.received = count;
    // Buffered bytes reach the disk only here, so a full disk may first show at the close.
    if (std::fclose(file) != 0) writeFailed = true;

    if (writeFailed) return Fail(DownloadError::WriteFailed);
    if (count != expected) return Fail(DownloadError::DownloadFailed);
    return true;
}

}  // namespace net
