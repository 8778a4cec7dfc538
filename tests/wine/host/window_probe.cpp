// Reads a window of the updater the way a host or a screen reader would: by its class.
//
//   window_probe.exe <window class> <report file> <seconds>
//
// Waits up to <seconds> for a visible top-level window of the class, then writes two looks at
// it, half a second apart: its caption and owner, then each child's class and text (a progress
// bar's position instead of its text). Writes "none" when no such window appeared.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "utf8_text.h"

namespace {

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK AddChild(HWND child, LPARAM report) {
    auto& out = *reinterpret_cast<std::string*>(report);
    wchar_t cls[256] = {};
    GetClassNameW(child, cls, 256);
    out += "child class=" + ToUtf8(cls);
    if (lstrcmpiW(cls, PROGRESS_CLASSW) == 0) {
        out += " pos=" + std::to_string(SendMessageW(child, PBM_GETPOS, 0, 0));
    } else {
        out += " text=" + ToUtf8(TextOf(child));
    }
    out += "\n";
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(_wtoi(argv[3])) * 1000;
    HWND window = nullptr;
    while (!(window = FindWindowW(argv[1], nullptr)) || !IsWindowVisible(window)) {
        if (GetTickCount() > deadline) break;
        Sleep(50);
    }
    std::string report;
    if (!window || !IsWindowVisible(window)) {
        report = "none\n";
    } else {
        for (int look = 0; look < 2; ++look) {
            if (look) Sleep(500);
            const HWND owner = GetWindow(window, GW_OWNER);
            report += "caption=" + ToUtf8(TextOf(window)) + " owner=" +
                      std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(owner))) +
                      "\n";
            EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&report));
        }
    }
    FILE* file = _wfopen(argv[2], L"wb");
    if (!file) return 1;
    std::fwrite(report.data(), 1, report.size(), file);
    std::fclose(file);
    return 0;
}
