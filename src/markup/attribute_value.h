#pragma once

#include <cstdint>
#include <string>

#include "markup/name_match.h"

namespace markup {

// Finds the value of the named attribute in the start tag whose name begins at from. An
// attribute written without "=" and value gives its own name. False when it is absent.
bool FindAttribute(const char16_t* text, int32_t from, const std::u16string& name, TextSpan& value);

// Decodes the five predefined entities and character references; anything else that starts
// with "&" is kept as it stands.
std::u16string DecodeValue(const char16_t* value, int32_t length);

}  // namespace markup
