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

// Conversion inside the text's own storage, so that the bytes need no buffer of their own and
// the units are written once: PrepareUtf8InPlace sizes text for up to `capacity` bytes and
// returns where they go; ConvertUtf8InPlace turns the first `count` of them into the text.
uint8_t* PrepareUtf8InPlace(std::u16string& text, size_t capacity);
void ConvertUtf8InPlace(std::u16string& text, size_t count);

// Converts bytes into text the way LoadFile does.
void Utf8ToText(const uint8_t* bytes, size_t count, std::u16string& text);

}  // namespace markup
