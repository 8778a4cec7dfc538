#pragma once
// Numbers in the run's log lines.

#include <cstdint>
#include <string>

#include "base/text.h"

namespace app {

inline std::u16string DecimalText(std::int64_t value) {
    std::u16string text;
    base::AppendDecimal(text, value);
    return text;
}

}  // namespace app
