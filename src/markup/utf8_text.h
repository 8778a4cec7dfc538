#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace markup {

// Decodes one UTF-8 sequence at cursor (never reading at or past end) and moves cursor past the
// bytes it used. Returns the code point, or -1 for a rejected sequence. Lenient on purpose:
// overlong forms and stray continuation bytes are not checked, and a sequence that breaks off
// leaves the breaking byte to be decoded next.
int32_t DecodeUtf8Char(const uint8_t*& cursor, const uint8_t* end);

// With out null: the number of UTF-16 units that the bytes convert to. With out room for that
// many units plus one: writes them and a terminating zero, and returns the bytes consumed.
// Conversion stops at the first sequence that decodes to 0; each rejected sequence becomes "?".
int64_t Utf8ToUtf16(char16_t* out, const uint8_t* bytes, size_t count);

// Converts bytes into text, built in place at its final size. This is the conversion that
// LoadFile uses.
void Utf8ToText(const uint8_t* bytes, size_t count, std::u16string& text);

}  // namespace markup
