#include "net/content_range.h"

namespace net {
namespace {

// Reads digits up to the stop character (end of text when stop is 0) and moves past it.
std::optional<std::int64_t> Number(std::string_view& text, char stop) {
    std::size_t i = 0;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == 0) return std::nullopt;
    if (stop == 0 ? i != text.size() : i == text.size() || text[i] != stop) return std::nullopt;
    text.remove_prefix(stop == 0 ? i : i + 1);
    return value;
}

}  // namespace

std::optional<ContentRange> ParseContentRange(std::string_view text) {
    static constexpr std::string_view kUnit = "bytes ";
    if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
    text.remove_prefix(kUnit.size());
    const std::optional<std::int64_t> first = Number(text, '-');
    const std::optional<std::int64_t> last = first ? Number(text, '/') : std::nullopt;
    const std::optional<std::int64_t> total = last ? Number(text, 0) : std::nullopt;
    if (!total || *first > *last || *last >= *total) return std::nullopt;
    return ContentRange{*first, *last, *total};
}

}  // namespace net
