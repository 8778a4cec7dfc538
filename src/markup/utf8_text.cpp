#include "markup/utf8_text.h"

#include <cstring>

namespace markup {

int32_t DecodeUtf8Char(const uint8_t*& cursor, const uint8_t* end) {
    const uint8_t lead = *cursor++;
    if (lead < 0x80) return lead;
    int continuations;
    int32_t value;
    if ((lead & 0x20) == 0) {
        continuations = 1;
        value = lead & 0x1F;
    } else if ((lead & 0x10) == 0) {
        continuations = 2;
        value = lead & 0x0F;
    } else if ((lead & 0x08) == 0) {
        continuations = 3;
        value = lead & 0x07;
    } else {
        return -1;
    }
    for (; continuations > 0; --continuations) {
        // Past the end the data reads as a zero byte, which breaks the sequence.
        if (cursor == end || *cursor < 0x80) return -1;
        value = (value << 6) | (*cursor++ & 0x3F);
    }
    return value;
}

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;

// Eight bytes that are all ASCII and none of them zero.
inline bool PlainAscii8(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return ((word | ((word - kLowBits) & ~word)) & kHighBits) == 0;
}

// One pass shared by counting and writing so that both take exactly the same steps.
template <bool write>
int64_t Convert(char16_t* out, const uint8_t* bytes, size_t count) {
    const uint8_t* p = bytes;
    const uint8_t* const end = bytes + count;
    int64_t units = 0;
    for (;;) {
        while (end - p >= 8 && PlainAscii8(p)) {
            if constexpr (write) {
                for (int k = 0; k < 8; ++k) out[units + k] = p[k];
            }
            units += 8;
            p += 8;
        }
        if (p == end) break;
        int32_t value;
        if (*p < 0x80) {
            value = *p++;
        } else {
            value = DecodeUtf8Char(p, end);
        }
        if (value == 0) break;
        if (value < 0) {
            if constexpr (write) out[units] = u'?';
            ++units;
        } else if (value >= 0x10000) {
            // Values beyond U+10FFFF are not rejected; they keep the bits that fit the pair.
            if constexpr (write) {
                const int32_t v = value - 0x10000;
                out[units] = static_cast<char16_t>(0xD800 + ((v >> 10) & 0x3FF));
                out[units + 1] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            }
            units += 2;
        } else {
            if constexpr (write) out[units] = static_cast<char16_t>(value);
            ++units;
        }
    }
    if constexpr (write) {
        out[units] = 0;
        return p - bytes;
    }
    return units;
}

}  // namespace

int64_t Utf8ToUtf16(char16_t* out, const uint8_t* bytes, size_t count) {
    return out != nullptr ? Convert<true>(out, bytes, count)
                          : Convert<false>(nullptr, bytes, count);
}

void Utf8ToText(const uint8_t* bytes, size_t count, std::u16string& text) {
    const int64_t units = Convert<false>(nullptr, bytes, count);
    text.clear();
    text.resize(static_cast<size_t>(units));
    Convert<true>(text.data(), bytes, count);
}

}  // namespace markup
