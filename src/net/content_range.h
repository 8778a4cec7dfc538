#pragma once
// The Content-Range of a resumed answer, "bytes FIRST-LAST/TOTAL", read strictly: a resumed
// body is appended to what is stored, so anything doubtful counts as no range at all.

#include <cstdint>
#include <optional>
#include <string_view>

namespace net {

struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = 0;
};

// Empty unless FIRST <= LAST < TOTAL, all in plain digits within 63 bits ("*" totals too).
std::optional<ContentRange> ParseContentRange(std::string_view text);

}  // namespace net
