#include "app/user/notes.h"

namespace app {
namespace {

bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

std::u16string CleanNotes(std::u16string_view notes) {
    std::u16string clean;
    for (const char16_t c : notes) {
        if (clean.size() == kLongestNotes) break;
        if (c == u'\n' || !IsControl(c)) clean += c;
    }
    if (clean.size() == kLongestNotes && IsHighSurrogate(clean.back())) clean.pop_back();
    return clean;
}

std::u16string QuestionWithNotes(std::u16string_view question, std::u16string_view notes) {
    std::u16string text(question);
    const std::u16string clean = CleanNotes(notes);
    if (!clean.empty()) text += u"\n\n" + clean;
    return text;
}

}  // namespace app
