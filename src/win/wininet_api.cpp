#include "win/wininet_api.h"

// clang-format off
#include <windows.h>
#include <wininet.h>
// clang-format on

#include <fcntl.h>
#include <io.h>

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

// --- time limits, resume and cancel ---

bool WinInetApi::SetOption(net::NetHandle handle, std::uint32_t option, std::uint32_t value) {
    DWORD number = value;
    return InternetSetOptionW(static_cast<HINTERNET>(handle), option, &number, sizeof number) !=
           FALSE;
}

bool WinInetApi::QueryDataAvailable(net::NetHandle request, std::uint32_t& available) {
    DWORD count = 0;
    const bool ok = InternetQueryDataAvailable(static_cast<HINTERNET>(request), &count, 0, 0);
    available = ok ? count : 0;
    return ok;
}

std::uint32_t WinInetApi::LastError() {
    return GetLastError();
}

std::uint64_t WinInetApi::NowMs() {
    return GetTickCount64();
}

void WinInetApi::Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::FILE* WinInetApi::OpenPartFile(const std::u16string& path, std::int64_t keep) {
    // Shared for reading and deleting: a cancel on another thread may delete the partial file
    // while this one still writes it.
    HANDLE file =
        CreateFileW(Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    keep > 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // A new file is empty already; cutting it again would fail on devices such as Z:\dev\full.
    LARGE_INTEGER at{};
    at.QuadPart = keep;
    if (keep > 0 && (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file))) {
        CloseHandle(file);
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY);
    if (descriptor == -1) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (!stream) _close(descriptor);  // closes the handle too
    return stream;
}

bool WinInetApi::RemoveFile(const std::u16string& path) {
    return DeleteFileW(Wide(path)) != FALSE;
}

}  // namespace win
