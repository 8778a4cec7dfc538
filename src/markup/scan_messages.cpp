#include "markup/scan_messages.h"

#include "markup/text_util.h"

namespace markup {

void SetIncorrectMessage(std::u16string& out, const char* what, int32_t offset) {
    out.clear();
    AppendAscii(out, "Incorrect ");
    AppendAscii(out, what);
    AppendAscii(out, " at offset ");
    AppendDecimal(out, offset);
}

void SetUnterminatedMessage(std::u16string& out, const char* label, int32_t offset) {
    out.clear();
    AppendAscii(out, label);
    AppendAscii(out, " at offset ");
    AppendDecimal(out, offset);
    AppendAscii(out, " unterminated");
}

}  // namespace markup
