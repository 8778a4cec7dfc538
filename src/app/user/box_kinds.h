#pragma once
// A box as the run asks for it and the answer it gets, in the run's words.

#include <cstdint>
#include <string>

#include "base/text.h"

namespace app {

enum class BoxKind {
    Error,        // OK, error icon
    Information,  // OK, information icon
    Question,     // Yes and No, question icon
};

struct BoxAnswer {
    enum class Button { Yes, NotYes, NotShown };
    Button button = Button::NotShown;
    std::int32_t systemCode = 0;  // the system's own answer, for the log only

    bool Is(Button b) const { return button == b; }
};

// The system's answer as the log shows it.
inline std::u16string BoxAnswerLogCode(const BoxAnswer& answer) {
    return base::DecimalText(answer.systemCode);
}

}  // namespace app
