#include "win/net_api.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include "win/wide.h"

namespace win {

net::NetHandle WinNetApi::Open(const std::u16string& agent, std::uint32_t accessType) {
    return InternetOpenW(Wide(agent), accessType, nullptr, nullptr, 0);
}

net::NetHandle WinNetApi::Connect(net::NetHandle internet, const std::u16string& server,
                                  std::uint16_t port, std::uint32_t service) {
    return InternetConnectW(static_cast<HINTERNET>(internet), Wide(server), port, nullptr, nullptr,
                            service, 0, 0);
}

net::NetHandle WinNetApi::OpenRequest(net::NetHandle connection, const std::u16string& verb,
                                      const std::u16string& objectName,
                                      const std::u16string& version, std::uint32_t flags) {
    return HttpOpenRequestW(static_cast<HINTERNET>(connection), Wide(verb), Wide(objectName),
                            Wide(version), nullptr, nullptr, flags, 0);
}

bool WinNetApi::SendRequest(net::NetHandle request, const std::u16string& headers,
                            std::uint32_t headersLength) {
    return HttpSendRequestW(static_cast<HINTERNET>(request), Wide(headers), headersLength, nullptr,
                            0) != FALSE;
}

net::QueryStatus WinNetApi::QueryInfo(net::NetHandle request, std::uint32_t infoLevel, void* buffer,
                                      std::uint32_t& length) {
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

bool WinNetApi::ReadFile(net::NetHandle request, void* buffer, std::uint32_t toRead,
                         std::uint32_t& read) {
    DWORD got = 0;
    const bool ok = InternetReadFile(static_cast<HINTERNET>(request), buffer, toRead, &got);
    read = got;
    return ok;
}

void WinNetApi::Close(net::NetHandle handle) {
    InternetCloseHandle(static_cast<HINTERNET>(handle));
}

// --- time limits ---

bool WinNetApi::SetOption(net::NetHandle handle, std::uint32_t option, std::uint32_t value) {
    DWORD number = value;
    return InternetSetOptionW(static_cast<HINTERNET>(handle), option, &number, sizeof number) !=
           FALSE;
}

bool WinNetApi::QueryDataAvailable(net::NetHandle request, std::uint32_t& available) {
    DWORD count = 0;
    const bool ok = InternetQueryDataAvailable(static_cast<HINTERNET>(request), &count, 0, 0);
    available = ok ? count : 0;
    return ok;
}

std::uint32_t WinNetApi::LastError() {
    return GetLastError();
}

}  // namespace win
