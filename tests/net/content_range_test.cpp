#include "net/content_range.h"

#include <gtest/gtest.h>

namespace net {
namespace {

TEST(ParseContentRange, OnlyAnExactRangeWithinItsTotal) {
    const std::optional<ContentRange> range = ParseContentRange("bytes 4-9/10");
    ASSERT_TRUE(range);
    EXPECT_EQ(std::tie(range->first, range->last, range->total), std::make_tuple(4, 9, 10));
    EXPECT_TRUE(ParseContentRange("bytes 0-9223372036854775806/9223372036854775807"));
    for (const char* bad :
         {"", "bytes 4-9/*", "bytes */10", "bytes 4-9/10 ", "bytes 4-9", "bytes=4-9/10",
          "Bytes 4-9/10", "bytes  4-9/10", "bytes -4-9/10", "bytes +4-9/10", "bytes 9-4/10",
          "bytes 4-10/10", "bytes 4-9/9223372036854775808", "bytes 4-9/10\r\nX: 1"}) {
        EXPECT_FALSE(ParseContentRange(bad)) << bad;
    }
}

}  // namespace
}  // namespace net
