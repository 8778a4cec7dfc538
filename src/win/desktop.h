#pragma once
// app::Desktop over user32: message boxes, window handles and the progress window.

#include "app/user/desktop.h"

namespace win {

class WinDesktop final : public app::Desktop {
  public:
    app::BoxAnswer ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                  const std::u16string& caption, app::BoxKind kind) override;
    app::Language UserLanguage() override;
    bool WindowExists(std::int32_t window) override;
    app::TransferEnd TransferWithProgress(std::int32_t owner, const app::Transfer& transfer,
                                          bool showWindow) override;
};

// Chinese for a Chinese user interface (any zh-*), English for every other.
app::Language UserInterfaceLanguage();

}  // namespace win
