#pragma once

#include <cstdint>
#include <string>

namespace markup {

// "Incorrect <what> at offset <offset>"
void SetIncorrectMessage(std::u16string& out, const char* what, int32_t offset);
// "<label> at offset <offset> unterminated"
void SetUnterminatedMessage(std::u16string& out, const char* label, int32_t offset);

}  // namespace markup
