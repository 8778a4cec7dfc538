#include "win/processes.h"

#include <windows.h>

#include "win/owned_handle.h"
// After windows.h, which it needs.
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/work_folder/run_lock.h"
#include "base/text.h"
#include "win/file_system.h"
#include "win/wide.h"
#include "win/window_handle.h"

namespace win {
namespace {

// Paths can be far longer than MAX_PATH; past this the system is not telling the truth.
constexpr DWORD kLongestPath = 1u << 20;

}  // namespace

std::u16string WinProcesses::TempPath() {
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

std::u16string WinProcesses::ModulePath() {
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

namespace {

class WinProcessWatch final : public app::ProcessWatch {
  public:
    explicit WinProcessWatch(OwnedHandle opened) : process(std::move(opened)) {}

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

    std::uint32_t ExitCode() override {
        DWORD code = 0;
        if (!GetExitCodeProcess(process.Get(), &code)) return static_cast<std::uint32_t>(-1);
        return code;
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

// The folder of a whole path, for the started program's working folder.
std::u16string FolderOf(const std::u16string& file) {
    const std::size_t slash = file.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : file.substr(0, slash);
}

bool IsProgram(const std::u16string& file) {
    if (file.size() < 4) return false;
    std::u16string ending = file.substr(file.size() - 4);
    for (char16_t& c : ending) c = base::AsciiUpper(c);
    return ending == u".EXE" || ending == u".COM";
}

app::Started StartedWith(HANDLE process) {
    app::Started started;
    started.started = true;
    if (process) started.process = std::make_unique<WinProcessWatch>(OwnedHandle(process));
    return started;
}

app::Started NotStarted(DWORD error = GetLastError()) {
    app::Started started;
    started.error = static_cast<std::uint32_t>(error);
    return started;
}

// attributes, when given, go to the new process (another parent, for example).
app::Started StartProcess(const std::u16string& file, const std::u16string& folder,
                          LPPROC_THREAD_ATTRIBUTE_LIST attributes = nullptr) {
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = attributes ? sizeof(startup) : sizeof(startup.StartupInfo);
    startup.lpAttributeList = attributes;
    PROCESS_INFORMATION info{};
    // The quoted path alone, in a buffer of its own that CreateProcessW may write into.
    const std::u16string quoted = u"\"" + file + u"\"";
    std::vector<wchar_t> line(quoted.begin(), quoted.end());
    line.push_back(L'\0');
    const DWORD flags = attributes ? EXTENDED_STARTUPINFO_PRESENT : 0;
    if (!CreateProcessW(SystemPath(file).c_str(), line.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, folder.empty() ? nullptr : Wide(folder), &startup.StartupInfo,
                        &info)) {
        return NotStarted();
    }
    CloseHandle(info.hThread);
    return StartedWith(info.hProcess);
}

app::Started StartWithShell(const std::u16string& file, const std::u16string& folder) {
    SHELLEXECUTEINFOW shell{};
    shell.cbSize = sizeof(shell);
    shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    shell.lpVerb = L"open";
    shell.lpFile = Wide(file);
    shell.lpDirectory = folder.empty() ? nullptr : Wide(folder);
    shell.nShow = SW_SHOW;
    if (!ShellExecuteExW(&shell)) return NotStarted();
    return StartedWith(shell.hProcess);
}

}  // namespace

app::Started WinProcesses::Start(const std::u16string& file, app::StartWith how) {
    if (how == app::StartWith::Shell) return StartWithShell(file, {});
    const std::u16string folder = FolderOf(file);
    return IsProgram(file) ? StartProcess(file, folder) : StartWithShell(file, folder);
}

app::HostLookup WinProcesses::OpenWindowProcess(std::int32_t window) {
    app::HostLookup host;
    DWORD processId = 0;
    if (window == 0 || !GetWindowThreadProcessId(WindowOf(window), &processId) || !processId) {
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

app::SendResult WinProcesses::SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                                 std::uint32_t milliseconds) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(WindowOf(window), message, 0, 0, SMTO_ABORTIFHUNG, milliseconds,
                            &answer)) {
        return {true, 0};
    }
    return {false, static_cast<std::uint32_t>(GetLastError())};
}

app::HiddenRun WinProcesses::RunHiddenWithin(const std::u16string& application,
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
    if (!CreateProcessW(SystemPath(application).c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &started)) {
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

app::RunLockClaim WinProcesses::ClaimRunLock(const std::u16string& appFolder) {
    // Folded the way the file system compares names, so that every spelling of the folder
    // meets the same lock.
    std::u16string folded = appFolder;
    if (!folded.empty()) {
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, Wide(appFolder),
                      static_cast<int>(appFolder.size()), reinterpret_cast<wchar_t*>(folded.data()),
                      static_cast<int>(folded.size()), nullptr, nullptr, 0);
    }
    runLockName = app::RunLockName(folded);
    // Owned and never released: the process's end releases it, so that a second updater can
    // wait for it. Held open either way, for WaitForRunLock.
    runLock = CreateMutexW(nullptr, TRUE, Wide(runLockName));
    const DWORD error = GetLastError();
    if (!runLock) return {app::RunLockClaim::State::NotCreated, static_cast<std::uint32_t>(error)};
    if (error == ERROR_ALREADY_EXISTS) return {app::RunLockClaim::State::HeldByAnother};
    return {app::RunLockClaim::State::Claimed};
}

std::uint32_t WinProcesses::OwnProcessId() {
    return GetCurrentProcessId();
}

app::ElevatedRun WinProcesses::RunElevated(const std::u16string& parameters) {
    app::ElevatedRun run;
    const std::u16string program = ModulePath();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The process handle to wait on; no error boxes of the shell's own.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = Wide(program);
    info.lpParameters = Wide(parameters);
    info.nShow = SW_SHOWNORMAL;
    if (program.empty() || !ShellExecuteExW(&info)) {
        run.error = static_cast<std::uint32_t>(GetLastError());
        if (run.error == ERROR_CANCELLED) run.state = app::ElevatedRun::State::Declined;
        return run;
    }
    if (!info.hProcess) {
        run.error = ERROR_INVALID_HANDLE;
        return run;
    }
    OwnedHandle process(info.hProcess);
    // The elevated copy bounds its own steps (the archiver, the swap's retries).
    DWORD exitCode = 0;
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.Get(), &exitCode)) {
        run.error = static_cast<std::uint32_t>(GetLastError());
        return run;
    }
    run.state = app::ElevatedRun::State::Ended;
    run.exitCode = exitCode;
    return run;
}

namespace {

// The id of this process's parent as the system recorded it; 0 when it cannot be told.
DWORD OwnParentId() {
    const OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
    }
    return 0;
}

}  // namespace

app::Started WinProcesses::StartAsChildOf(std::uint32_t parentId, const std::u16string& program) {
    // The id comes from the command line: only the process that really started this one, the
    // copy that asked for the elevation, may lend its rights.
    if (parentId == 0 || OwnParentId() != parentId) return NotStarted(ERROR_INVALID_PARAMETER);
    OwnedHandle parent(OpenProcess(PROCESS_CREATE_PROCESS, FALSE, parentId));
    if (!parent) return NotStarted();
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return NotStarted();
    HANDLE parentHandle = parent.Get();
    app::Started started =
        UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS,
                                  &parentHandle, sizeof(parentHandle), nullptr, nullptr)
            ? StartProcess(program, FolderOf(program), attributes)
            : NotStarted();
    DeleteProcThreadAttributeList(attributes);
    return started;
}

bool WinProcesses::WaitForRunLock(std::uint32_t milliseconds) {
    if (!runLock) return false;
    // The holder announces its watch with an event named after the lock.
    const HANDLE watch = OpenEventW(SYNCHRONIZE, FALSE, Wide(runLockName + u"-watch"));
    if (!watch) return false;
    CloseHandle(watch);
    const DWORD waited = WaitForSingleObject(runLock, milliseconds);
    // Abandoned: the holder ended, as it does, without releasing it.
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void WinProcesses::AnnounceHealthWatch() {
    if (healthWatch || runLockName.empty()) return;
    healthWatch = CreateEventW(nullptr, TRUE, FALSE, Wide(runLockName + u"-watch"));
}

}  // namespace win
