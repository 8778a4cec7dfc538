#include "net/http_address.h"

#include <gtest/gtest.h>

#include "fake_net_api.h"
#include "net/http_downloader.h"

namespace net {
namespace {

TEST(SplitAddress, ServerAndObjectPath) {
    struct Case {
        std::u16string address, server, objectPath;
    };
    const Case cases[] = {
        {u"http://srv/dir/update.xml", u"srv", u"/dir/update.xml"},
        {u"srv/dir/pkg.zip", u"srv", u"/dir/pkg.zip"},
        {u"http://srv", u"srv", u""},
        {u"http://srv:81/a", u"srv:81", u"/a"},
        {u"HTTP://srv/a", u"HTTP:", u"//srv/a"},
        {u"https://srv/a", u"https:", u"//srv/a"},
        {u"http://srv/a?x=1#f", u"srv", u"/a?x=1#f"},
        {u"xyhttp://srv/a", u"srv", u"/a"},
        {u"", u"", u""},
        {u"http://", u"", u""},
        {u"http:///", u"", u"/"},
        {u"http://http://srv/a", u"http:", u"//srv/a"},
        {u"http://服务器/更新.xml", u"服务器", u"/更新.xml"},
        {std::u16string(u"http://s\0v/a", 12), std::u16string(u"s\0v", 3), u"/a"},
    };
    for (const Case& c : cases) {
        testing::FakeNetApi api("/nonexistent");
        HttpDownloader downloader(api);
        downloader.SplitAddress(c.address);
        EXPECT_EQ(downloader.Server(), c.server) << testing::Narrow(c.address);
        EXPECT_EQ(downloader.ObjectPath(), c.objectPath) << testing::Narrow(c.address);
    }
}

TEST(SplitAddress, SecondAddressWithoutPathDropsTheFirstPath) {
    testing::FakeNetApi api("/nonexistent");
    HttpDownloader downloader(api);
    downloader.SplitAddress(u"http://one/a/b");
    downloader.SplitAddress(u"http://two");
    EXPECT_EQ(downloader.Server(), u"two");
    EXPECT_EQ(downloader.ObjectPath(), u"");
}

TEST(BuildRequestHeaders, BlockNamesTheServerAndIs99UnitsPlusServer) {
    testing::FakeNetApi api("/nonexistent");
    HttpDownloader downloader(api);
    downloader.SplitAddress(u"http://srv/a");
    EXPECT_EQ(downloader.BuildRequestHeaders(),
              u"Referer: srv\r\n"
              u"Content-Type: application/x-www-form-urlencoded\r\n"
              u"Accept: */*\r\n"
              u"Connection: Keep-Alive\r\n\r\n");
    EXPECT_EQ(downloader.BuildRequestHeaders().size(), 102u);

    const std::u16string longServer(5000, u'x');
    downloader.SplitAddress(u"http://" + longServer + u":81/a");
    EXPECT_EQ(downloader.BuildRequestHeaders().size(), 99u + longServer.size() + 3);
    EXPECT_EQ(downloader.BuildRequestHeaders().find(u"Referer: " + longServer + u":81\r\n"), 0u);
}

TEST(SplitServer, PortAfterColonOrEighty) {
    struct Case {
        std::u16string server;
        std::optional<std::u16string> host;
        std::uint16_t port;
    };
    const Case cases[] = {
        {u"srv", u"srv", 80},
        {u"srv:81", u"srv", 81},
        {u"srv:", u"srv", 80},
        {u"srv:065535", u"srv", 65535},
        {u"", u"", 80},
        {u"[::1]:8080", u"[::1]", 8080},
        {u"[::1]", u"[::1]", 80},
        {u"srv:0", std::nullopt, 0},
        {u"srv\r\nX-Injected:1", std::nullopt, 0},
        {u"s\x7fv", std::nullopt, 0},
        {std::u16string(u"s\0v", 3), std::nullopt, 0},
        {u"srv:65536", std::nullopt, 0},
        {u"srv:99999999999999999999999", std::nullopt, 0},
        {u"srv:-1", std::nullopt, 0},
        {u"srv:+81", std::nullopt, 0},
        {u"srv: 81", std::nullopt, 0},
        {u"srv:81:82", std::nullopt, 0},
        {u"srv:８１", std::nullopt, 0},  // full-width digits are not digits here
    };
    for (const Case& c : cases) {
        const std::optional<HostAndPort> split = SplitServer(c.server);
        ASSERT_EQ(split.has_value(), c.host.has_value()) << testing::Narrow(c.server);
        if (!split) continue;
        EXPECT_EQ(split->host, *c.host);
        EXPECT_EQ(split->port, c.port) << testing::Narrow(c.server);
    }
}

TEST(StatusCode, NumberAfterFirstBlank) {
    EXPECT_EQ(StatusCode("HTTP/1.1 200 OK"), 200);
    EXPECT_EQ(StatusCode("HTTP/1.1 404 Not Found"), 404);
    EXPECT_EQ(StatusCode("HTTP/1.1 200 Found 404"), 200);
    EXPECT_EQ(StatusCode("HTTP/1.0 299"), 299);
    EXPECT_EQ(StatusCode("HTTP/1.1 20000000000000 OK"), 2000);  // too long: still no 2xx
    EXPECT_EQ(StatusCode("HTTP/1.1200 OK"), std::nullopt);
    EXPECT_EQ(StatusCode("HTTP/1.1  200 OK"), std::nullopt);
    EXPECT_EQ(StatusCode(""), std::nullopt);
}

TEST(ParseContentLength, AtoiRulesWithoutNegativesOrOverflow) {
    EXPECT_EQ(ParseContentLength("42"), 42);
    EXPECT_EQ(ParseContentLength(" \t+42abc"), 42);
    EXPECT_EQ(ParseContentLength("0"), 0);
    EXPECT_EQ(ParseContentLength("4294967296"), 4294967296LL);
    EXPECT_EQ(ParseContentLength("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(ParseContentLength("9223372036854775808"), std::nullopt);
    EXPECT_EQ(ParseContentLength("-1"), std::nullopt);
    EXPECT_EQ(ParseContentLength("abc"), std::nullopt);
    EXPECT_EQ(ParseContentLength(""), std::nullopt);
    EXPECT_EQ(ParseContentLength("+"), std::nullopt);
}

}  // namespace
}  // namespace net
