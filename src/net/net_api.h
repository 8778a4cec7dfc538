#pragma once
// The thin seam between the downloader and the network: one method a WinINet call. The Win32
// side (src/win) forwards each method to the API of the same shape; tests script a fake of it.
// Files and time go through base::FileSystem (by way of a byte sink) and base::Clock.

#include <cstdint>
#include <string>

namespace net {

using NetHandle = void*;  // an HINTERNET on Windows; null means "no handle"

// WinINet constants the portable code passes through the seam unchanged.
inline constexpr std::uint32_t kOpenTypePreconfig = 0;       // INTERNET_OPEN_TYPE_PRECONFIG
inline constexpr std::uint32_t kServiceHttp = 3;             // INTERNET_SERVICE_HTTP
inline constexpr std::uint32_t kFlagReload = 0x80000000u;    // INTERNET_FLAG_RELOAD
inline constexpr std::uint32_t kQueryContentLength = 5;      // HTTP_QUERY_CONTENT_LENGTH
inline constexpr std::uint32_t kQueryRawHeaders = 21;        // HTTP_QUERY_RAW_HEADERS
inline constexpr std::uint16_t kDefaultHttpPort = 80;        // INTERNET_DEFAULT_HTTP_PORT
inline constexpr std::uint32_t kQueryContentRange = 53;      // HTTP_QUERY_CONTENT_RANGE
inline constexpr std::uint32_t kOptionConnectTimeout = 2;    // INTERNET_OPTION_CONNECT_TIMEOUT
inline constexpr std::uint32_t kOptionSendTimeout = 5;       // INTERNET_OPTION_SEND_TIMEOUT
inline constexpr std::uint32_t kOptionReceiveTimeout = 6;    // INTERNET_OPTION_RECEIVE_TIMEOUT
inline constexpr std::uint32_t kErrorTimeout = 12002;        // ERROR_INTERNET_TIMEOUT
inline constexpr std::uint32_t kErrorSocketTimeout = 10060;  // WSAETIMEDOUT: Wine's read time-out
inline constexpr std::uint32_t kErrorAborted = 12030;        // ERROR_INTERNET_CONNECTION_ABORTED
inline constexpr std::uint32_t kErrorReset = 12031;          // ERROR_INTERNET_CONNECTION_RESET
// For https addresses.
inline constexpr std::uint32_t kFlagSecure = 0x00800000u;          // INTERNET_FLAG_SECURE
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;  // INTERNET_FLAG_NO_AUTO_REDIRECT
inline constexpr std::uint32_t kQueryLocation = 33;                // HTTP_QUERY_LOCATION
inline constexpr std::uint16_t kDefaultHttpsPort = 443;            // INTERNET_DEFAULT_HTTPS_PORT
// The validators a resume is sent with.
inline constexpr std::uint32_t kQueryETag = 54;          // HTTP_QUERY_ETAG
inline constexpr std::uint32_t kQueryLastModified = 11;  // HTTP_QUERY_LAST_MODIFIED

enum class QueryStatus {
    Ok,              // the value is in the buffer; length holds its byte count
    BufferTooSmall,  // ERROR_INSUFFICIENT_BUFFER; length holds the size the value needs
    Failed,          // any other failure (for example the header is absent)
};

class NetApi {
  public:
    virtual ~NetApi() = default;

    // InternetOpenW(agent, accessType, no proxy, no bypass list, flags 0)
    virtual NetHandle Open(const std::u16string& agent, std::uint32_t accessType) = 0;
    // InternetConnectW(internet, server, port, no user, no password, service, flags 0, context 0)
    virtual NetHandle Connect(NetHandle internet, const std::u16string& server, std::uint16_t port,
                              std::uint32_t service) = 0;
    // HttpOpenRequestW(connection, verb, object, version, no referrer, no accept types, flags, 0)
    virtual NetHandle OpenRequest(NetHandle connection, const std::u16string& verb,
                                  const std::u16string& objectName, const std::u16string& version,
                                  std::uint32_t flags) = 0;
    // HttpSendRequestW(request, headers, headersLength, no optional data, 0)
    virtual bool SendRequest(NetHandle request, const std::u16string& headers,
                             std::uint32_t headersLength) = 0;
    // HttpQueryInfoA(request, infoLevel, buffer, &length, no index)
    virtual QueryStatus QueryInfo(NetHandle request, std::uint32_t infoLevel, void* buffer,
                                  std::uint32_t& length) = 0;
    // InternetReadFile(request, buffer, toRead, &read)
    virtual bool ReadFile(NetHandle request, void* buffer, std::uint32_t toRead,
                          std::uint32_t& read) = 0;
    // InternetCloseHandle(handle)
    virtual void Close(NetHandle handle) = 0;

    // --- time limits ---
    // InternetSetOptionW(handle, option, &value, sizeof(DWORD))
    virtual bool SetOption(NetHandle handle, std::uint32_t option, std::uint32_t value) = 0;
    // InternetQueryDataAvailable(request, &available, 0, 0): waits for data, up to the
    // receive timeout; 0 available means the body ended
    virtual bool QueryDataAvailable(NetHandle request, std::uint32_t& available) = 0;
    // GetLastError(), right after a failing call of this seam
    virtual std::uint32_t LastError() = 0;
};

}  // namespace net
