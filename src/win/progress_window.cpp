#include "win/progress_window.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <atomic>
#include <string>

#include "app/package/progress_pacer.h"
#include "app/user/texts.h"
#include "win/desktop.h"
#include "win/progress_transfer.h"
#include "win/wide.h"

namespace win {
namespace {

constexpr wchar_t kClassName[] = L"UpdaterProgress";
// How long the loop sleeps at most between looks at the clock: well under one redraw.
constexpr DWORD kLoopWaitMs = 30;
// A text of the one table in the user's language, as the window calls take it.
std::wstring WideText(app::Text id) {
    const std::u16string_view text = app::TextOf(id, UserInterfaceLanguage());
    return std::wstring(text.begin(), text.end());
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* cancelled =
        reinterpret_cast<std::atomic<bool>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // The button, Esc (through IsDialogMessage) and the close box all cancel; the loop closes
    // the window.
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        if (cancelled) *cancelled = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The window and its controls; destroyed with this object, on the thread that made it.
class ProgressWindow {
  public:
    ~ProgressWindow() {
        Close();
        if (font) DeleteObject(font);
    }

    HWND Handle() const { return window; }

    void Close() {
        if (window) DestroyWindow(window);
        window = nullptr;
    }

    // Shown centred over the owner, or on the screen without one; no window when it fails.
    void Create(HWND owner, std::atomic<bool>& cancelled) {
        if (!RegisterWindowClass()) return;
        constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        constexpr DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        RECT frame{0, 0, kWidth, kHeight};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        const std::wstring caption = WideText(app::Text::ProgressCaption);
        RECT area{};
        if (!owner || !GetWindowRect(owner, &area) || IsIconic(owner)) {
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        }
        const int x = area.left + (area.right - area.left - width) / 2;
        const int y = area.top + (area.bottom - area.top - height) / 2;
        window = CreateWindowExW(exStyle, kClassName, caption.c_str(), style, x, y, width, height,
                                 owner, nullptr, GetModuleHandleW(nullptr), nullptr);
        // An owner that closed in the meantime: the window stands alone.
        if (!window && owner) {
            window = CreateWindowExW(exStyle, kClassName, caption.c_str(), style, x, y, width, height,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        }
        if (!window) return;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&cancelled));

        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            font = CreateFontIndirectW(&metrics.lfMessageFont);
        }
        Child(L"STATIC", WideText(app::Text::ProgressText).c_str(), WS_VISIBLE | SS_LEFT, 16, 14, kWidth - 32, 20, 0);
        bar = Child(PROGRESS_CLASSW, L"", WS_VISIBLE, 16, 40, kWidth - 32, 18, 0);
        SendMessageW(bar, PBM_SETRANGE32, 0, app::kProgressBarRange);
        sizeText = Child(L"STATIC", L"", WS_VISIBLE | SS_LEFT, 16, 66, kWidth - 32, 20, 0);
        const HWND button = Child(L"BUTTON", WideText(app::Text::ProgressCancel).c_str(), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                  kWidth - 104, kHeight - 40, 88, 28, IDCANCEL);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        SetFocus(button);
    }

    void Show(std::int64_t received, std::int64_t total) {
        if (!window) return;
        SendMessageW(bar, PBM_SETPOS, app::ProgressBarPosition(received, total), 0);
        const std::u16string text = app::ProgressSizeText(received, total);
        // Set only when it changed, so that a slow line does not make it flicker.
        if (text != shownText) {
            SetWindowTextW(sizeText, Wide(text));
            shownText = text;
        }
    }

  private:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 136;

    HWND Child(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
               int height, int id) {
        const HWND child = CreateWindowExW(
            0, className, text, WS_CHILD | style, x, y, width, height, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return child;
    }

    HWND window = nullptr;
    HWND bar = nullptr;
    HWND sizeText = nullptr;
    HFONT font = nullptr;
    std::u16string shownText;
};

void PumpMessages(HWND window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // The updater has no loop for a quit request to end, and one left queued would close
        // the next box at once.
        if (message.message == WM_QUIT) continue;
        if (window && IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The window as the transfer's watcher: shown and redrawn as the pacer decides, its messages
// handled while the loop waits; its button, Esc and close box cancel.
class WindowWatcher final : public TransferWatcher {
  public:
    WindowWatcher(std::int32_t windowOwner, bool visible) : owner(windowOwner), shown(visible) {}

    bool CancelRequested() override { return cancelled; }
    void Tick(std::int64_t received, std::int64_t total) override {
        // Unattended: the transfer is watched all the same, but nobody sees a window.
        if (!shown) return;
        switch (pacer.Next(GetTickCount64())) {
            case app::ProgressPacer::Step::Show:
                window.Create(reinterpret_cast<HWND>(static_cast<INT_PTR>(owner)), cancelled);
                [[fallthrough]];
            case app::ProgressPacer::Step::Update:
                window.Show(received, total);
                break;
            case app::ProgressPacer::Step::Wait:
                break;
        }
    }
    void Wait(HANDLE done) override {
        MsgWaitForMultipleObjectsEx(1, &done, kLoopWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages(window.Handle());
    }
    void Leaving() override { window.Close(); }

  private:
    const std::int32_t owner;
    const bool shown;
    app::ProgressPacer pacer{GetTickCount64()};
    std::atomic<bool> cancelled{false};  // set by the window, which goes first
    ProgressWindow window;
};

}  // namespace

app::TransferEnd TransferWithProgressWindow(std::int32_t owner, const app::Transfer& transfer,
                                            bool showWindow) {
    // Without a worker the download runs on this thread, without a window.
    WindowWatcher watcher(owner, showWindow);
    return RunWatchedTransfer(transfer, watcher);
}

}  // namespace win
