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

struct Converted {
    int64_t units;
    int64_t bytes;
};

// One pass shared by counting and writing so that both take exactly the same steps. When
// writing, every sequence is read whole before its units are written, which lets the output
// overlay the input (see ConvertUtf8InPlace).
template <bool write>
Converted Convert(char16_t* out, const uint8_t* bytes, size_t count) {
    const uint8_t* p = bytes;
    const uint8_t* const end = bytes + count;
    int64_t units = 0;
    while (p != end) {
        int32_t value;
        const uint8_t lead = *p;
        if (lead < 0x80) {
            uint64_t word = 0;
            if (end - p >= 8) std::memcpy(&word, p, sizeof word);
            // Eight plain ASCII bytes, none of them zero, go in one step.
            if (end - p >= 8 && ((word | ((word - kLowBits) & ~word)) & kHighBits) == 0) {
                if constexpr (write) {
                    // From the copy already read, so the units may overwrite the bytes in place.
                    uint8_t chunk[8];
                    std::memcpy(chunk, &word, sizeof chunk);
                    for (int k = 0; k < 8; ++k) out[units + k] = chunk[k];
                }
                units += 8;
                p += 8;
                continue;
            }
            value = lead;
            ++p;
        } else if ((lead & 0x30) == 0x20 && end - p >= 3 && p[1] >= 0x80 && p[2] >= 0x80) {
            // A whole three-byte sequence, the form of most CJK text, decoded in one step
            // exactly as DecodeUtf8Char would.
            value = ((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            p += 3;
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
    if constexpr (write) out[units] = 0;
    return {units, p - bytes};
}

}  // namespace

int64_t Utf8ToUtf16(char16_t* out, const uint8_t* bytes, size_t count) {
    if (out == nullptr) return Convert<false>(nullptr, bytes, count).units;
    return Convert<true>(out, bytes, count).bytes;
}

uint8_t* PrepareUtf8InPlace(std::u16string& text, size_t capacity) {
    text.clear();
    text.resize(capacity);
    return reinterpret_cast<uint8_t*>(text.data()) + capacity;
}

void ConvertUtf8InPlace(std::u16string& text, size_t count) {
    // The bytes sit in the upper half of the storage (from byte `capacity` on) and units are
    // written from its start. Every unit takes at least one byte, so when unit k is written at
    // least k + 1 bytes have been read: the unit ends at byte 2k + 2, and the unread bytes
    // begin at capacity + k + 1 or later, which is no earlier since k < count <= capacity.
    const size_t capacity = text.size();
    char16_t* units = text.data();
    const Converted done =
        Convert<true>(units, reinterpret_cast<const uint8_t*>(units) + capacity, count);
    text.resize(static_cast<size_t>(done.units));
}

void Utf8ToText(const uint8_t* bytes, size_t count, std::u16string& text) {
    if (count == 0) {
        text.clear();
        return;
    }
    std::memcpy(PrepareUtf8InPlace(text, count), bytes, count);
    ConvertUtf8InPlace(text, count);
}

}  // namespace markup
