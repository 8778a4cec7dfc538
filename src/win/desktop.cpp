#include "win/desktop.h"

#include <windows.h>

#include "win/progress_window.h"
#include "win/wide.h"
#include "win/window_handle.h"

namespace win {

app::BoxAnswer WinDesktop::ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                          const std::u16string& caption, app::BoxKind kind) {
    UINT flags = MB_OK | MB_ICONERROR;
    if (kind == app::BoxKind::Information) flags = MB_OK | MB_ICONINFORMATION;
    if (kind == app::BoxKind::Question) flags = MB_YESNO | MB_ICONQUESTION;
    const int answer = MessageBoxW(WindowOf(owner), Wide(text), Wide(caption), flags);
    using Button = app::BoxAnswer::Button;
    const Button button = answer <= 0       ? Button::NotShown
                          : answer == IDYES ? Button::Yes
                                            : Button::NotYes;
    return {button, answer};
}

app::Language UserInterfaceLanguage() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? app::Language::Chinese
                                                                     : app::Language::English;
}

app::Language WinDesktop::UserLanguage() {
    return UserInterfaceLanguage();
}

bool WinDesktop::WindowExists(std::int32_t window) {
    return IsWindow(WindowOf(window)) != FALSE;
}

app::TransferEnd WinDesktop::TransferWithProgress(std::int32_t owner, const app::Transfer& transfer,
                                                  bool showWindow) {
    return TransferWithProgressWindow(owner, transfer, showWindow);
}

}  // namespace win
