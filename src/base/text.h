#pragma once
// Small text helpers every subsystem shares: numbers as UTF-16 text and ASCII case folding.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace base {

// Appends the decimal digits of value (with a "-" when negative).
void AppendDecimal(std::u16string& out, std::int64_t value);

inline std::u16string DecimalText(std::int64_t value) {
    std::u16string text;
    AppendDecimal(text, value);
    return text;
}

// Two hex digits a byte, lower case.
std::u16string HexText(std::span<const std::uint8_t> bytes);
// The value as exactly `digits` hex digits (the low ones), upper case when asked.
std::u16string HexDigits(std::uint64_t value, int digits, bool upper = false);

// ASCII text as UTF-16, unit by unit.
std::u16string FromAscii(std::string_view ascii);

inline char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Equal when they differ only in the case of ASCII letters.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace base
