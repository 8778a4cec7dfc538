#include "net/http_address.h"

#include <gtest/gtest.h>

#include "net/content_range.h"
#include "net/fake_net_api.h"
#include "net/http_downloader.h"

namespace net {
namespace {

using namespace std::string_literals;
using testing::Utf8;

TEST(SplitAddress, SchemeOnlyAtTheStartThenServerAndObjectPath) {
    const struct {
        std::u16string address, server, objectPath;
        bool secure = false;
    } cases[] = {
        {u"http://srv/dir/update.xml", u"srv", u"/dir/update.xml"},
        // One downloader splits every row: an address without a path drops the last one's.
        {u"http://srv", u"srv", u""},
        {u"srv/dir/pkg.zip", u"srv", u"/dir/pkg.zip"},
        {u"HTTPS://srv:8443/a", u"srv:8443", u"/a", true},
        {u"hTTp://srv/a", u"srv", u"/a"},
        // A scheme inside the query names no server.
        {u"http://srv/a?to=http://other/b", u"srv", u"/a?to=http://other/b"},
        {u"srv/a?u=https://evil/x", u"srv", u"/a?u=https://evil/x"},
        {u"http:///", u"", u"/"},
        {u"http://服\0务/更新.xml"s, u"服\0务"s, u"/更新.xml"},
    };
    testing::FakeNetApi api;
    HttpDownloader downloader(api, api.clock);
    for (const auto& c : cases) {
        EXPECT_TRUE(downloader.SplitAddress(c.address)) << Utf8(c.address);
        EXPECT_EQ(downloader.Server(), c.server) << Utf8(c.address);
        EXPECT_EQ(downloader.ObjectPath(), c.objectPath) << Utf8(c.address);
        EXPECT_EQ(downloader.Secure(), c.secure) << Utf8(c.address);
    }
    // Other schemes, and text before the scheme, leave nothing of the last address behind.
    for (const std::u16string address :
         {u"xyhttp://srv/a", u"ftp://srv/a", u" http://srv/a", u"srv?u=http://evil/x"}) {
        EXPECT_FALSE(downloader.SplitAddress(address)) << Utf8(address);
        EXPECT_EQ(downloader.Server() + downloader.ObjectPath(), u"") << Utf8(address);
    }
}

TEST(SplitServer, PortAfterColonOrEighty) {
    const std::pair<std::u16string, std::string> accepted[] = {
        {u"srv", "srv 80"},           {u"srv:81", "srv 81"},         {u"srv:", "srv 80"},
        {u"srv:065535", "srv 65535"}, {u"[::1]:8080", "[::1] 8080"}, {u"[::1]", "[::1] 80"}};
    EXPECT_EQ(SplitServer(u"srv", 443)->port, 443);
    EXPECT_EQ(SplitServer(u"srv:", 443)->port, 443);
    for (const auto& [server, expected] : accepted) {
        const std::optional<HostAndPort> split = SplitServer(server);
        ASSERT_TRUE(split) << Utf8(server);
        EXPECT_EQ(Utf8(split->host) + " " + std::to_string(split->port), expected);
    }
    // No wrap into range, full-width digits are no digits, no line break into the request.
    for (const std::u16string server :
         {u"srv:0", u"srv:65536", u"srv:99999999999999999999999", u"srv:+81", u"srv:８１",
          u"srv\r\nX-Injected:1", u"s\x7fv"}) {
        EXPECT_FALSE(SplitServer(server)) << Utf8(server);
    }
}

TEST(ParseContentLength, AtoiRulesWithoutNegativesOrOverflow) {
    EXPECT_EQ(ParseContentLength(" \t+42abc"), 42);
    EXPECT_EQ(ParseContentLength("4294967296"), 4294967296LL);
    EXPECT_EQ(ParseContentLength("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ParseContentLength("9223372036854775808"), std::nullopt);
    EXPECT_EQ(ParseContentLength("-1"), std::nullopt);
    EXPECT_EQ(ParseContentLength("+"), std::nullopt);
}

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
