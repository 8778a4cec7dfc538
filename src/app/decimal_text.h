#pragma once
// Numbers in the run's log lines.

#include <cstdint>
#include <string>

#include "markup/text_util.h"

namespace app {

inline std::u16string DecimalText(std::int64_t value) {
    std::u16string text;
    markup::AppendDecimal(text, value);
    return text;
}

}  // namespace app
