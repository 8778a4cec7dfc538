#pragma once

#include <cstdint>
#include <string>

namespace markup {

// A stretch of the document text.
struct TextSpan {
    int32_t offset = 0;
    int32_t length = 0;
};

// A name read from the document matches a searched name when the searched name begins with it
// and either ends there or goes on with one of " =/[]" (so "item" is found by "item[2]").
// Units compare exactly, so case matters.
inline bool NameMatches(const char16_t* token, int32_t length, const std::u16string& searched) {
    const size_t n = static_cast<size_t>(length);
    if (searched.size() < n || searched.compare(0, n, token, n) != 0) return false;
    if (searched.size() == n) return true;
    const char16_t c = searched[n];
    return c == u' ' || c == u'=' || c == u'/' || c == u'[' || c == u']';
}

}  // namespace markup
