// A sample host application: how a program ships and starts updater.exe.
//
// What an integrator needs from this file:
//  1. Put updater.exe and 7z.exe in the application's own folder. The update is unpacked
//     into the folder of updater.exe, and the program named by the manifest's `run` is
//     started from there afterwards.
//  2. Start updater.exe with the launch string "<version>#<window handle>#<manifest address>":
//     the current version as a decimal number with a point, the handle of one of your
//     top-level windows as a signed decimal integer, and the address of update.xml.
//     The updater owns its message boxes by that window and notifies it before it replaces
//     any file (StartUpdater below).
//  3. Handle the message 0x467 (WM_USER + 103) on that window: save your work and close.
//     The updater pauses one second after sending it, then overwrites the application's
//     files, which it can't do while they are still in use (HostWindowProc below).
//
// This sample keeps its version in version.txt beside it (an update replaces that file) and
// its manifest address in update-url.txt; a real application would compile both in or read
// them from its own settings. It appends what it does to sample_host.log beside it.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT kUpdateNotice = WM_USER + 103;  // 0x467: "the update is about to be applied"
constexpr UINT_PTR kUpdateCheckTimer = 1;
constexpr UINT kUpdateCheckDelayMs = 2000;  // let startup finish before the check

std::wstring g_folder;  // the application folder, with a trailing backslash
std::wstring g_version;
HANDLE g_updater = nullptr;  // kept only to log when the updater has finished

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

void Log(const std::wstring& line) {
    FILE* log = _wfopen((g_folder + L"sample_host.log").c_str(), L"ab");
    if (!log) return;
    std::fputs((ToUtf8(line) + "\n").c_str(), log);
    std::fclose(log);
}

// The first line of a small text file beside the program, or fallback.
std::wstring ReadSetting(const wchar_t* name, const wchar_t* fallback) {
    FILE* file = _wfopen((g_folder + name).c_str(), L"rb");
    if (!file) return fallback;
    std::string text;
    char chunk[256];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    text = text.substr(0, text.find_first_of("\r\n"));
    return text.empty() ? fallback : FromUtf8(text);
}

std::wstring ApplicationFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return {};
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Starts the updater; it runs on its own and shows its own boxes, owned by `window`.
void StartUpdater(HWND window) {
    const std::wstring updater = g_folder + L"updater.exe";
    const std::wstring manifestUrl = ReadSetting(L"update-url.txt", L"");
    const auto handle = static_cast<long long>(reinterpret_cast<LONG_PTR>(window));
    const std::wstring launch = g_version + L"#" + std::to_wstring(handle) + L"#" + manifestUrl;

    // The updater reads everything after its own (quoted) name as the launch string.
    std::wstring commandLine = L"\"" + updater + L"\" " + launch;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(updater.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        g_folder.c_str(), &startup, &process)) {
        Log(L"could not start the updater, error " + std::to_wstring(GetLastError()));
        return;
    }
    CloseHandle(process.hThread);
    g_updater = process.hProcess;
    Log(L"started the updater with the launch string: " + launch);
}

// What the application would otherwise lose when it closes for the update.
void SaveWork() {
    FILE* work = _wfopen((g_folder + L"work.txt").c_str(), L"ab");
    if (!work) return;
    std::fputs(("work of version " + ToUtf8(g_version) + " saved\n").c_str(), work);
    std::fclose(work);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kUpdateNotice:
            // Sent with SendMessageW: the updater waits until this returns. Save, close, and
            // leave the process soon: the files are replaced about a second later.
            Log(L"0x467 received: saving work and closing for the update");
            SaveWork();
            DestroyWindow(window);
            return 0;
        case WM_TIMER:
            if (wParam == kUpdateCheckTimer) {
                KillTimer(window, kUpdateCheckTimer);
                StartUpdater(window);
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            const std::wstring text = L"Sample application, version " + g_version;
            TextOutW(dc, 16, 16, text.c_str(), static_cast<int>(text.size()));
            EndPaint(window, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    g_folder = ApplicationFolder();
    g_version = ReadSetting(L"version.txt", L"1.0");
    Log(L"sample application " + g_version + L" started");

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"SampleHostWindow";
    if (!RegisterClassW(&windowClass)) return 1;
    const std::wstring title = L"Sample application " + g_version;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                  40, 40, 420, 160, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);

    // Check for updates shortly after startup; the updater asks the user itself.
    SetTimer(window, kUpdateCheckTimer, kUpdateCheckDelayMs, nullptr);

    // An ordinary message loop that also notices when the updater has finished.
    for (;;) {
        const DWORD count = g_updater ? 1 : 0;
        DWORD woke = MsgWaitForMultipleObjects(count, &g_updater, FALSE, INFINITE, QS_ALLINPUT);
        if (count == 1 && woke == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeProcess(g_updater, &exitCode);
            CloseHandle(g_updater);
            g_updater = nullptr;
            Log(L"the updater has finished, exit code " + std::to_wstring(exitCode));
            continue;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                Log(L"sample application " + g_version + L" exits");
                if (g_updater) CloseHandle(g_updater);
                return static_cast<int>(message.wParam);
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
