#include "win/win_platform.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "app/run_lock.h"
#include "win/progress_window.h"
#include "win/run_log_win.h"
#include "win/work_folders_win.h"

namespace win {
namespace {

// On Windows wchar_t and char16_t are both UTF-16 units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The host passes its handle as a signed 32-bit number; handles are sign-extended values.
HWND ToWindow(std::int32_t handle) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
}

// Paths can be far longer than MAX_PATH; past this the system is not telling the truth.
constexpr DWORD kLongestPath = 1u << 20;

}  // namespace

WinPlatform::WinPlatform(net::NetApi& net) : net(net), log(LocalLogTime, AppendToFile) {}

int WinPlatform::ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                const std::u16string& caption, std::uint32_t flags) {
    return MessageBoxW(ToWindow(owner), Wide(text), Wide(caption), flags);
}

bool WinPlatform::WindowExists(std::int32_t window) {
    return IsWindow(ToWindow(window)) != FALSE;
}

void WinPlatform::SendToWindow(std::int32_t window, std::uint32_t message) {
    SendMessageW(ToWindow(window), message, 0, 0);
}

void WinPlatform::Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::u16string WinPlatform::TempPath() {
    // Asked again with the size the system reports until the whole path fits.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) return {};
        if (length < buffer.size()) return FromWide(buffer.data(), length);
        if (length >= kLongestPath) return {};
        buffer.assign(length + 1, L'\0');
    }
}

std::u16string WinPlatform::ModulePath() {
    // A full buffer means the path was cut: grow and ask again.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return FromWide(buffer.data(), length);
        if (buffer.size() >= kLongestPath) return {};
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

std::int64_t WinPlatform::NowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool WinPlatform::RunHiddenAndWait(const std::u16string& application,
                                   const std::u16string& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(Wide(application), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    // The process, not its first thread: other threads may still be writing files.
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void WinPlatform::OpenWithShell(const std::u16string& file) {
    ShellExecuteW(nullptr, L"open", Wide(file), nullptr, nullptr, SW_SHOW);
}

// --- progress window, work folders, one run at a time ---

app::TransferEnd WinPlatform::TransferWithProgress(std::int32_t owner,
                                                   const app::Transfer& transfer) {
    return TransferWithProgressWindow(owner, transfer);
}

std::uint32_t WinPlatform::MakeFolder(const std::u16string& path) {
    return win::MakeFolder(path);
}

std::uint32_t WinPlatform::RemoveFile(const std::u16string& path) {
    return win::RemoveFile(path);
}

std::vector<app::FolderAge> WinPlatform::ListWorkFolders(const std::u16string& parent) {
    return win::ListWorkFolders(parent);
}

std::uint32_t WinPlatform::RemoveFolderTree(const std::u16string& path) {
    return win::RemoveFolderTree(path);
}

bool WinPlatform::ClaimRunLock(const std::u16string& appFolder) {
    // Folded the way the file system compares names, so that every spelling of the folder
    // meets the same lock.
    std::u16string folded = appFolder;
    if (!folded.empty()) {
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE,
                      reinterpret_cast<const wchar_t*>(appFolder.c_str()),
                      static_cast<int>(appFolder.size()), reinterpret_cast<wchar_t*>(folded.data()),
                      static_cast<int>(folded.size()), nullptr, nullptr, 0);
    }
    const std::u16string name = app::RunLockName(folded);
    // Held, never closed: the process's end releases it.
    const HANDLE lock = CreateMutexW(nullptr, FALSE, Wide(name));
    return !(lock && GetLastError() == ERROR_ALREADY_EXISTS);
}

}  // namespace win
