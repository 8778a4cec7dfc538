#pragma once
// The thin seam between the downloader and the platform: one method a WinINet call,
// plus the few file-system calls a download needs. The Win32 side (src/win) forwards
// each method to the API of the same shape; tests script a fake of it.

#include <cstdint>
#include <cstdio>
#include <string>

namespace net {

using NetHandle = void*;  // an HINTERNET on Windows; null means "no handle"

// WinINet constants the portable code passes through the seam unchanged.
inline constexpr std::uint32_t kOpenTypePreconfig = 0;     // INTERNET_OPEN_TYPE_PRECONFIG
inline constexpr std::uint32_t kServiceHttp = 3;           // INTERNET_SERVICE_HTTP
inline constexpr std::uint32_t kFlagReload = 0x80000000u;  // INTERNET_FLAG_RELOAD
inline constexpr std::uint32_t kQueryContentLength = 5;    // HTTP_QUERY_CONTENT_LENGTH
inline constexpr std::uint32_t kQueryRawHeaders = 21;      // HTTP_QUERY_RAW_HEADERS
inline constexpr std::uint16_t kDefaultHttpPort = 80;      // INTERNET_DEFAULT_HTTP_PORT
// For https addresses.
inline constexpr std::uint32_t kFlagSecure = 0x00800000u;          // INTERNET_FLAG_SECURE
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000u;  // INTERNET_FLAG_NO_AUTO_REDIRECT
inline constexpr std::uint32_t kQueryLocation = 33;                // HTTP_QUERY_LOCATION
inline constexpr std::uint16_t kDefaultHttpsPort = 443;            // INTERNET_DEFAULT_HTTPS_PORT

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

    // GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES
    virtual bool PathExists(const std::u16string& path) = 0;
    // CreateDirectoryW(path, no security attributes); the result is not used
    virtual void CreateFolder(const std::u16string& path) = 0;
    // stdio open of a wide path with mode "wb+"; null when it can't be opened
    virtual std::FILE* OpenOutputFile(const std::u16string& path) = 0;
};

}  // namespace net
