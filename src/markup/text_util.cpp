#include "markup/text_util.h"

#include <cstring>

namespace markup {

void AppendDecimal(std::u16string& out, int64_t value) {
    char16_t digits[20];
    int count = 0;
    // Work on the magnitude as unsigned so that the most negative value does not overflow.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) out.push_back(u'-');
    while (count > 0) out.push_back(digits[--count]);
}

void AppendAscii(std::u16string& out, const char* ascii) {
    const size_t at = out.size();
    out.resize(at + std::strlen(ascii));
    for (size_t i = at; i < out.size(); ++i) out[i] = static_cast<char16_t>(*ascii++);
}

}  // namespace markup
