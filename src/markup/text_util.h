#pragma once

#include <cstdint>
#include <string>

namespace markup {

// Appends the decimal digits of value (with a "-" when negative).
void AppendDecimal(std::u16string& out, int64_t value);

// Appends ASCII text unit by unit.
void AppendAscii(std::u16string& out, const char* ascii);

inline bool IsXmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

}  // namespace markup
