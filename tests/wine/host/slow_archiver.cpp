// Stand-in for 7z.exe that shows how the updater waits for the archiver. It records its
// command line in "7z-calls.log" beside itself, then ends its primary thread at once while a
// second thread goes on for a while and only then "unpacks": it writes data.txt into the
// folder of its -o"<folder>" switch.
// An updater that waits on the primary thread instead of the process would start the run
// target before data.txt is written. It is a console program, so if it were started without
// SW_HIDE, a console window would show on the display.
#include <windows.h>

#include <cstdio>
#include <string>

#include "utf8_text.h"

namespace {

constexpr DWORD kWorkMilliseconds = 2500;

std::wstring g_folder;
std::wstring g_outFolder;  // ends with a backslash, as the updater passes it

void WriteText(const std::wstring& name, const wchar_t* mode, const std::string& text) {
    FILE* out = _wfopen(name.c_str(), mode);
    if (!out) return;
    std::fputs(text.c_str(), out);
    std::fclose(out);
}

DWORD WINAPI Unpack(LPVOID) {
    Sleep(kWorkMilliseconds);
    WriteText(g_outFolder + L"data.txt", L"wb", "unpacked by the slow archiver\n");
    ExitProcess(0);
}

}  // namespace

int wmain() {
    std::wstring self(32768, L'\0');  // the longest path Windows has
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    g_folder = self.substr(0, self.find_last_of(L'\\') + 1);

    const std::wstring line = GetCommandLineW();
    WriteText(g_folder + L"7z-calls.log", L"ab", ToUtf8(line) + "\n");
    const std::size_t out = line.find(L" -o\"");
    if (out == std::wstring::npos) return 1;
    const std::size_t end = line.find(L'"', out + 4);
    if (end == std::wstring::npos) return 1;
    g_outFolder = line.substr(out + 4, end - out - 4);

    HANDLE worker = CreateThread(nullptr, 0, Unpack, nullptr, 0, nullptr);
    if (!worker) return 1;
    CloseHandle(worker);
    ExitThread(0);  // the process lives on in the worker
}
