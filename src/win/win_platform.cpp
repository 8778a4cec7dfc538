#include "win/win_platform.h"

#include <windows.h>

#include "win/owned_handle.h"
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/work_folder/run_lock.h"
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

app::BoxAnswer WinPlatform::ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                           const std::u16string& caption, app::BoxKind kind) {
    UINT flags = MB_OK | MB_ICONERROR;
    if (kind == app::BoxKind::Information) flags = MB_OK | MB_ICONINFORMATION;
    if (kind == app::BoxKind::Question) flags = MB_YESNO | MB_ICONQUESTION;
    const int answer = MessageBoxW(ToWindow(owner), Wide(text), Wide(caption), flags);
    using Button = app::BoxAnswer::Button;
    return {answer <= 0       ? Button::NotShown
            : answer == IDYES ? Button::Yes
                              : Button::NotYes,
            answer};
}

bool WinPlatform::WindowExists(std::int32_t window) {
    return IsWindow(ToWindow(window)) != FALSE;
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

void WinPlatform::OpenWithShell(const std::u16string& file) {
    ShellExecuteW(nullptr, L"open", Wide(file), nullptr, nullptr, SW_SHOW);
}

// --- putting an update in place safely ---

namespace {

class WinProcessWatch final : public app::ProcessWatch {
  public:
    explicit WinProcessWatch(OwnedHandle process) : process(std::move(process)) {}

    app::WaitResult WaitForEnd(std::uint32_t milliseconds) override {
        switch (WaitForSingleObject(process.Get(), milliseconds)) {
            case WAIT_OBJECT_0:
                return app::WaitResult::Ended;
            case WAIT_TIMEOUT:
                return app::WaitResult::StillRunning;
            default:
                return app::WaitResult::Failed;
        }
    }

  private:
    OwnedHandle process;
};

// The NUL device for a child's standard handles, inheritable.
OwnedHandle OpenNul(DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return OwnedHandle(CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, 0, nullptr));
}

}  // namespace

app::HostLookup WinPlatform::OpenWindowProcess(std::int32_t window) {
    app::HostLookup host;
    DWORD processId = 0;
    if (window == 0 || !GetWindowThreadProcessId(ToWindow(window), &processId) || !processId) {
        host.error = static_cast<std::uint32_t>(GetLastError());
        return host;
    }
    host.processId = processId;
    OwnedHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process) {
        host.error = static_cast<std::uint32_t>(GetLastError());
        return host;
    }
    host.process = std::make_unique<WinProcessWatch>(std::move(process));
    return host;
}

app::SendResult WinPlatform::SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                                std::uint32_t milliseconds) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(ToWindow(window), message, 0, 0, SMTO_ABORTIFHUNG, milliseconds,
                            &answer)) {
        return {true, 0};
    }
    return {false, static_cast<std::uint32_t>(GetLastError())};
}

app::HiddenRun WinPlatform::RunHiddenWithin(const std::u16string& application,
                                            const std::u16string& commandLine,
                                            std::uint32_t milliseconds) {
    app::HiddenRun run;
    // Input from NUL: a question (a password) reads end of input and fails at once instead of
    // waiting for an answer nobody can give.
    OwnedHandle input = OpenNul(GENERIC_READ);
    OwnedHandle output = OpenNul(GENERIC_WRITE);
    if (!input || !output) {
        run.error = static_cast<std::uint32_t>(GetLastError());
        return run;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.Get();
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    PROCESS_INFORMATION started{};
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(Wide(application), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        run.error = static_cast<std::uint32_t>(GetLastError());
        return run;
    }
    OwnedHandle process(started.hProcess);
    OwnedHandle thread(started.hThread);
    // The process, not its first thread: other threads may still be writing files.
    if (WaitForSingleObject(process.Get(), milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        // Its files are closed only once it has really gone.
        WaitForSingleObject(process.Get(), 10'000);
        run.state = app::HiddenRun::State::TimedOut;
        return run;
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.Get(), &exitCode);
    run.state = app::HiddenRun::State::Ended;
    run.exitCode = exitCode;
    return run;
}

// --- end of putting an update in place ---

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
