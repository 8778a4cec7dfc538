// Stand-in for the program that the updater starts last: the run target after an archive
// update, or the installer. It has no window; it appends one line to "<its own path>.ran"
// with its command line and what "data.txt" beside it holds, so a test can tell that it
// was started, from where, and whether the unpacked files were already in place. It ends with
// the number that "<its own path>.exit" holds, if there is one (a new version that fails at
// once), else with 0. When "<its own path>.updater" holds a launch string, it first starts
// updater.exe beside itself with it at once, as a new version that checks for updates on start
// does, waits for it and appends "updater exit=<code>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "utf8_text.h"

namespace {

std::string ReadFirstLine(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return "<missing>";
    char buffer[512] = {};
    if (!std::fgets(buffer, sizeof buffer, file)) buffer[0] = '\0';
    std::fclose(file);
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

void AppendUpdaterExit(const std::wstring& record, const std::wstring& folder,
                       const std::string& launch) {
    const std::wstring updater = folder + L"updater.exe";
    std::wstring line = L"\"" + updater + L"\" " + std::wstring(launch.begin(), launch.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    DWORD code = 9999;
    if (CreateProcessW(updater.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &started)) {
        WaitForSingleObject(started.hProcess, INFINITE);
        GetExitCodeProcess(started.hProcess, &code);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    FILE* out = _wfopen(record.c_str(), L"ab");
    if (!out) return;
    std::fprintf(out, "updater exit=%lu\n", static_cast<unsigned long>(code));
    std::fclose(out);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring self(32768, L'\0');  // the longest path Windows has
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::string record = "ran command=" + ToUtf8(GetCommandLineW()) +
                               " data=" + ReadFirstLine(folder + L"data.txt") + "\n";
    FILE* out = _wfopen((self + L".ran").c_str(), L"ab");
    if (!out) return 1;
    std::fputs(record.c_str(), out);
    std::fclose(out);
    const std::string launch = ReadFirstLine(self + L".updater");
    if (launch != "<missing>") AppendUpdaterExit(self + L".ran", folder, launch);
    const std::string exitCode = ReadFirstLine(self + L".exit");
    return exitCode == "<missing>" ? 0 : std::atoi(exitCode.c_str());
}
