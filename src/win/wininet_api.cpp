#include "win/wininet_api.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

namespace win {
namespace {

// wchar_t is 16 bits on Windows, so UTF-16 text passes as it is.
const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

net::NetHandle WinInetApi::Open(const std::u16string& agent, std::uint32_t accessType) {
    return InternetOpenW(Wide(agent), accessType, nullptr, nullptr, 0);
}

net::NetHandle WinInetApi::Connect(net::NetHandle internet, const std::u16string& server,
                                   std::uint16_t port, std::uint32_t service) {
    return InternetConnectW(static_cast<HINTERNET>(internet), Wide(server), port, nullptr, nullptr,
                            service, 0, 0);
}

net::NetHandle WinInetApi::OpenRequest(net::NetHandle connection, const std::u16string& verb,
                                       const std::u16string& objectName,
                                       const std::u16string& version, std::uint32_t flags) {
    return HttpOpenRequestW(static_cast<HINTERNET>(connection), Wide(verb), Wide(objectName),
                            Wide(version), nullptr, nullptr, flags, 0);
}

bool WinInetApi::SendRequest(net::NetHandle request, const std::u16string& headers,
                             std::uint32_t headersLength) {
    return HttpSendRequestW(static_cast<HINTERNET>(request), Wide(headers), headersLength, nullptr,
                            0) != FALSE;
}

net::QueryStatus WinInetApi::QueryInfo(net::NetHandle request, std::uint32_t infoLevel,
                                       void* buffer, std::uint32_t& length) {
    DWORD size = length;
    if (HttpQueryInfoA(static_cast<HINTERNET>(request), infoLevel, buffer, &size, nullptr)) {
        length = size;
        return net::QueryStatus::Ok;
    }
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        length = size;
        return net::QueryStatus::BufferTooSmall;
    }
    return net::QueryStatus::Failed;
}

bool WinInetApi::ReadFile(net::NetHandle request, void* buffer, std::uint32_t toRead,
                          std::uint32_t& read) {
    DWORD got = 0;
    const bool ok = InternetReadFile(static_cast<HINTERNET>(request), buffer, toRead, &got);
    read = got;
    return ok;
}

void WinInetApi::Close(net::NetHandle handle) {
    InternetCloseHandle(static_cast<HINTERNET>(handle));
}

bool WinInetApi::PathExists(const std::u16string& path) {
    return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

void WinInetApi::CreateFolder(const std::u16string& path) {
    CreateDirectoryW(Wide(path), nullptr);
}

std::FILE* WinInetApi::OpenOutputFile(const std::u16string& path) {
    return _wfopen(Wide(path), L"wb+");
}

}  // namespace win
