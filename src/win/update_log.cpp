#include "win/update_log.h"

#include <windows.h>

#include "win/file_system.h"
#include "win/wide.h"

namespace win {

app::LogTime LocalLogTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

bool AppendToFile(const std::u16string& path, std::string_view bytes) {
    const HANDLE file =
        CreateFileW(SystemPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    while (!bytes.empty() && written) {
        const DWORD piece =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD done = 0;
        written = WriteFile(file, bytes.data(), piece, &done, nullptr) && done == piece;
        bytes.remove_prefix(piece);
    }
    return CloseHandle(file) && written;
}

}  // namespace win
