// Test host for the end-to-end tests: plays the application that starts the updater.
//
//   test_host.exe <updater path> <version> <manifest url> <log file> <watched file>
//                 [--hold <file>] [--stay [<seconds>]] [--tamper <name>]
//
// It owns a hidden top-level window, starts the updater with the launch string
// "<version>#<window handle>#<manifest url>", pumps messages, and appends one line to the log
// for each message 0x467: what the watched file holds at that moment (the updater must notify
// before it touches the application folder). With "-" for the updater it starts nothing and
// waits for 0x467: the test starts the updater itself, to see its exit code.
//
// Like a well-behaved application it closes on 0x467: it answers, logs "host exits" and ends
// its process with code 0. Without a notice it waits for the updater and logs
// "updater exit=<code>" last, exiting with that code (2 if it can't start it).
//   --hold <file>      holds the file open without sharing until the host ends, as a running
//                      application holds its files;
//   --stay [<seconds>] keeps running after 0x467: for that many seconds (a host slow to save),
//                      or until the updater has exited (a hung host).
//   --tamper <name>    on 0x467, plays another process of the user that tries to change the
//                      newest package <name> in a work folder under %TEMP%: logs
//                      "tamper write error=<code> rename error=<code>" (0: it could).
#include <windows.h>

#include <cstdio>
#include <string>

#include "utf8_text.h"

namespace {

constexpr UINT kUpdateNotice = WM_USER + 103;  // 0x467

constexpr UINT_PTR kExitTimer = 1;
constexpr int kStayUntilUpdaterExits = -1;

std::wstring g_logPath;
std::wstring g_watchedPath;
int g_staySeconds = 0;  // after 0x467; kStayUntilUpdaterExits for a hung host
HANDLE g_held = INVALID_HANDLE_VALUE;
bool g_exitNow = false;
std::wstring g_tamperName;

void AppendLog(const std::string& line) {
    FILE* log = _wfopen(g_logPath.c_str(), L"ab");
    if (!log) return;
    std::fwrite(line.data(), 1, line.size(), log);
    std::fputc('\n', log);
    std::fclose(log);
}

// The file's bytes with CR and LF escaped so that one record stays one line.
std::string ReadWatched() {
    FILE* file = _wfopen(g_watchedPath.c_str(), L"rb");
    if (!file) return "<missing>";
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    std::fclose(file);
    std::string escaped;
    for (char c : content) escaped += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return escaped;
}

// The newest %TEMP%\UpdateTemp*\<name>; empty when there is none.
std::wstring NewestPackage(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return {};
    const std::wstring folder(temp, length);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"UpdateTemp*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::wstring newest;
    FILETIME newestTime{};
    do {
        const std::wstring path = folder + entry.cFileName + L"\\" + name;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
            CompareFileTime(&data.ftLastWriteTime, &newestTime) > 0) {
            newest = path;
            newestTime = data.ftLastWriteTime;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return newest;
}

void Tamper() {
    const std::wstring package = NewestPackage(g_tamperName);
    if (package.empty()) {
        AppendLog("tamper found no package");
        return;
    }
    DWORD writeError = 0, renameError = 0;
    HANDLE file = CreateFileW(package.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        writeError = GetLastError();
    } else {
        DWORD written = 0;
        WriteFile(file, "tampered", 8, &written, nullptr);
        CloseHandle(file);
    }
    if (!MoveFileW(package.c_str(), (package + L".moved").c_str())) renameError = GetLastError();
    AppendLog("tamper write error=" + std::to_string(writeError) +
              " rename error=" + std::to_string(renameError));
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kUpdateNotice) {
        AppendLog("0x467 wParam=" + std::to_string(wParam) + " lParam=" + std::to_string(lParam) +
                  " watched=" + ReadWatched());
        if (!g_tamperName.empty()) Tamper();
        if (g_staySeconds == 0)
            g_exitNow = true;  // once this message is answered
        else if (g_staySeconds > 0)
            SetTimer(window, kExitTimer, static_cast<UINT>(g_staySeconds) * 1000, nullptr);
        return 0;
    }
    if (message == WM_TIMER && wParam == kExitTimer) {
        KillTimer(window, kExitTimer);
        g_exitNow = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Logs the step that failed with the system's error, for the host's exit code 2.
int Failed(const char* step) {
    const DWORD error = GetLastError();
    AppendLog(std::string(step) + " failed error=" + std::to_string(error));
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool usable = argv && argc >= 6;
    std::wstring heldPath;
    for (int i = 6; usable && i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--hold" && i + 1 < argc) {
            heldPath = argv[++i];
        } else if (option == L"--tamper" && i + 1 < argc) {
            g_tamperName = argv[++i];
        } else if (option == L"--stay") {
            g_staySeconds = kStayUntilUpdaterExits;
            if (i + 1 < argc && argv[i + 1][0] != L'-') g_staySeconds = _wtoi(argv[++i]);
        } else {
            usable = false;
        }
    }
    if (!usable) {
        std::fputs(
            "usage: test_host.exe <updater> <version> <manifest url> <log file> <watched file>"
            " [--hold <file>] [--stay [<seconds>]] [--tamper <name>]\n",
            stderr);
        return 2;
    }
    const std::wstring updater = argv[1];
    const std::wstring version = argv[2];
    const std::wstring manifestUrl = argv[3];
    g_logPath = argv[4];
    g_watchedPath = argv[5];
    LocalFree(argv);
    if (!heldPath.empty()) {
        g_held = CreateFileW(heldPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (g_held == INVALID_HANDLE_VALUE) return Failed("hold");
    }

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"UpdaterTestHost";
    if (!RegisterClassW(&windowClass)) return Failed("register class");
    // Deliberately never shown: the updater's boxes must not depend on a visible owner.
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Updater test host",
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return Failed("create window");

    const auto handle = static_cast<long long>(reinterpret_cast<LONG_PTR>(window));
    // Program paths hold no quotation marks.
    std::wstring commandLine =
        L"\"" + updater + L"\" " + version + L"#" + std::to_wstring(handle) + L"#" + manifestUrl;
    AppendLog("host window=" + std::to_string(handle) + " command=" + ToUtf8(commandLine));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const DWORD started = updater == L"-" ? 0 : 1;
    if (started && !CreateProcessW(updater.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &process)) {
        return Failed("start");
    }
    if (started) CloseHandle(process.hThread);

    // Pump until the updater has exited: its SendMessageW is served from this loop.
    for (;;) {
        DWORD woke =
            MsgWaitForMultipleObjects(started, &process.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (started && woke == WAIT_OBJECT_0) break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (g_exitNow) {
            // Ends the process: what it held goes with it, as when an application closes.
            AppendLog("host exits");
            ExitProcess(0);
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    if (g_held != INVALID_HANDLE_VALUE) CloseHandle(g_held);
    AppendLog("updater exit=" + std::to_string(exitCode));
    DestroyWindow(window);
    return static_cast<int>(exitCode);
}
