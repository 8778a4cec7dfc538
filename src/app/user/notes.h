#pragma once
// Release notes from the manifest, shown under the question.

#include <string>
#include <string_view>

namespace app {

// Notes longer than this are cut: a box has no scroll bar.
inline constexpr std::size_t kLongestNotes = 1000;

// The notes with every control character but the line break removed, cut to kLongestNotes
// units (never inside a surrogate pair).
std::u16string CleanNotes(std::u16string_view notes);

// The question, and after a blank line the cleaned notes; the question alone without notes.
std::u16string QuestionWithNotes(std::u16string_view question, std::u16string_view notes);

}  // namespace app
