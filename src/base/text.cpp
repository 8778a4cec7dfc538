#include "base/text.h"

namespace base {

void AppendDecimal(std::u16string& out, std::int64_t value) {
    // Built from the unsigned magnitude, so that the most negative value has one too.
    std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    char16_t digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out += u'-';
    while (count > 0) out += digits[--count];
}

std::u16string HexText(std::span<const std::uint8_t> bytes) {
    std::u16string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) text += HexDigits(byte, 2);
    return text;
}

std::u16string HexDigits(std::uint64_t value, int digits, bool upper) {
    const char16_t* alphabet = upper ? u"0123456789ABCDEF" : u"0123456789abcdef";
    std::u16string text(static_cast<std::size_t>(digits), u'0');
    for (int at = digits - 1; at >= 0; --at, value >>= 4) {
        text[static_cast<std::size_t>(at)] = alphabet[value & 0xF];
    }
    return text;
}

std::u16string FromAscii(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

}  // namespace base
