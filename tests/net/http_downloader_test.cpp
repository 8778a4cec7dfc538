#include "net/http_downloader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "net/fake_net_api.h"

namespace net {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;
using testing::FakeNetApi;

const std::u16string kAddress = u"http://srv:81/dir/f.bin";
const Log kRequestCalls = {
    "Open Http-connect 0",
    "Connect h1 srv 81 3",
    "OpenRequest h2 GET /dir/f.bin HTTP/1.1 2147483648",
    "Send h3 105",
    "Query h3 21 4096",
    "Query h3 5 4096",
};

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Download, StoresTheBodyWithTheDesignedCallsAndClosesInReverse) {
    FakeNetApi api;
    api.bodies[u"srv/dir/f.bin"] = "0123456789";
    api.repeats = 2;  // two reads
    // Only the code counts, up to 299; a head beyond one chunk is asked for again at its size.
    api.status = "HTTP/1.1 299 Moved from 404" + std::string(1, '\0') + std::string(6000, 'x');
    {
        HttpDownloader downloader(api);
        ASSERT_TRUE(downloader.Download(kAddress, u"C:\\w\\a\\f.bin"));
        Log expected = kRequestCalls;
        expected.insert(expected.begin() + 5, "Query h3 21 6030");
        expected.insert(expected.end(), {"Exists C:", "Exists C:\\w", "CreateFolder C:\\w",
                                         "Exists C:\\w\\a", "CreateFolder C:\\w\\a",
                                         "OpenFile C:\\w\\a\\f.bin", "Read h3 20", "Read h3 10"});
        EXPECT_EQ(api.log, expected);
        EXPECT_EQ(Contents(api.root / "C:/w/a/f.bin"), "01234567890123456789");

        // The handles stay open until the next download, which closes them first.
        api.log.clear();
        api.failing = "Connect";
        EXPECT_FALSE(downloader.Download(kAddress, u"C:\\f"));
        EXPECT_EQ(api.log, (Log{"Close h3", "Close h2", "Close h1", "Open Http-connect 0",
                                "Connect h4 srv 81 3"}));
        api.log.clear();
        downloader.CloseHandles();
    }
    EXPECT_EQ(api.log, Log{"Close h4"});  // and nothing twice
}

// Each refusal before the body: its reason, the calls made, and an untouched disk.
TEST(Download, RefusedAnswersTouchNoFolderOrFile) {
    const struct {
        std::u16string address;
        std::string failing, status, length;  // empty: as served
        std::u16string reason;
        std::size_t calls;  // how many of kRequestCalls are made
    } cases[] = {
        {kAddress, "Open", "", "", u"初始化HTTP接口失败", 1},
        {kAddress, "Connect", "", "", u"连接HTTP服务器失败", 2},
        {u"http://srv\r\nX:81/dir/f.bin", "", "", "", u"连接HTTP服务器失败", 1},
        {u"http://srv:81/dir/f\r\nX: 1", "", "", "", u"初始化HTTP请求失败", 2},
        {kAddress, "OpenRequest", "", "", u"初始化HTTP请求失败", 3},
        {kAddress, "Send", "", "", u"发送HTTP请求失败", 4},
        {kAddress, "Head", "", "", u"查询HTTP返回头失败", 5},
        {kAddress, "", std::string(2 << 20, 'x'), "", u"查询HTTP返回头失败", 5},  // beyond reason
        {kAddress, "", "HTTP/1.1 404 Not Found", "", u"请求文件不存在!", 5},
        {kAddress, "", "HTTP/1.1 199 Early", "", u"HTTP服务器返回错误", 5},
        {kAddress, "", "HTTP/1.1 300 Choices", "", u"HTTP服务器返回错误", 5},
        {kAddress, "", "HTTP/1.1  200 OK", "", u"HTTP服务器返回错误", 5},
        {kAddress, "", "HTTP/1.1 4294967496 OK", "", u"HTTP服务器返回错误", 5},  // 2^32 + 200
        {kAddress, "Length", "", "", u"查询HTTP返回头失败", 6},
        {kAddress, "", "", "-10", u"查询HTTP返回头失败", 6},
    };
    for (const auto& c : cases) {
        FakeNetApi api;
        api.bodies[u"srv/dir/f.bin"] = "0123456789";
        api.failing = c.failing;
        api.status = c.status;
        api.contentLength = c.length;
        HttpDownloader downloader(api);
        EXPECT_FALSE(downloader.Download(c.address, u"C:\\w\\f.bin"));
        EXPECT_EQ(downloader.LastFailure(), c.reason) << testing::Utf8(c.reason);
        EXPECT_EQ(api.log, Log(kRequestCalls.begin(), kRequestCalls.begin() + c.calls));
        EXPECT_TRUE(fs::is_empty(api.root / "C:"));
    }
}

// Once the answer is accepted. C:\f.bin holds an older, longer content; C:\w\file is a file.
TEST(Download, KeepsWhatArrivedAndTellsWhyItFellShort) {
    const std::string chunk(4096, 'b'), old = "an older and much longer content";
    const struct {
        std::u16string path;
        std::string body;
        std::uint64_t repeats;
        std::string length, failing;  // empty: as served
        std::u16string reason;
    } cases[] = {
        {u"C:\\f.bin", "", 1, "", "", u""},
        {u"C:\\f.bin", "0123456789", 1, "20", "", u"下载文件失败，请检查网络设置"},
        {u"C:\\f.bin", "0123456789", 1, "20", "Read", u"下载文件失败，请检查网络设置"},
        {u"C:\\w\\file\\f.bin", "0123456789", 1, "", "", u"创建文件失败，可能是文件正在被占用"},
        {u"/dev/full", "0123456789", 1, "", "", u"写入文件失败"},  // caught at the close
        {u"/dev/full", chunk, 30, "", "", u"写入文件失败"},        // caught at a write
        {u"/dev/null", chunk, (std::uint64_t{1} << 32) / 4096 + 1, "", "", u""},  // 4 GiB + 4 KiB
    };
    for (const auto& c : cases) {
        FakeNetApi api;
        std::ofstream(api.root / "C:/f.bin") << old;
        fs::create_directory(api.root / "C:/w");
        std::ofstream(api.root / "C:/w/file") << "x";
        api.bodies[u"srv/f"] = c.body;
        api.repeats = c.repeats;
        api.contentLength = c.length;
        api.failing = c.failing;
        HttpDownloader downloader(api);
        EXPECT_EQ(downloader.Download(u"http://srv/f", c.path), c.reason.empty());
        EXPECT_EQ(downloader.LastFailure(), c.reason) << testing::Utf8(c.reason);
        EXPECT_EQ(Contents(api.root / "C:/f.bin"), c.path == u"C:\\f.bin" ? c.body : old);
        EXPECT_EQ(Contents(api.root / "C:/w/file"), "x");
    }
}

}  // namespace
}  // namespace net

namespace net {
namespace {

// https: TLS on port 443 with redirects taken by hand, and never on to plain http.
TEST(Download, SecureAddressesStayOnHttps) {
    const struct {
        std::string location;  // of srv/a; empty: srv/a serves its own body
        std::string stored;    // empty: refused
    } cases[] = {
        {"", "a-body"},
        {"https://srv/b", "b-body"},
        {"/b", "b-body"},
        {"//srv/b", "b-body"},
        {"http://srv/b", ""},
        {"HTTP://srv/b", ""},
        {"b", ""},
        {"/a", ""},  // a loop ends
        {"ftp://srv/b", ""},
    };
    for (const auto& c : cases) {
        FakeNetApi api;
        api.bodies[u"srv/a"] = "a-body";
        api.bodies[u"srv/b"] = "b-body";
        if (!c.location.empty()) api.redirects[u"srv/a"] = c.location;
        HttpDownloader downloader(api);
        EXPECT_EQ(downloader.Download(u"https://srv/a", u"C:\\f"), !c.stored.empty()) << c.location;
        EXPECT_EQ(api.log[1], "Connect h1 srv 443 3");
        EXPECT_EQ(api.log[2], "OpenRequest h2 GET /a HTTP/1.1 " +
                                  std::to_string(kFlagReload | kFlagSecure | kFlagNoAutoRedirect));
        EXPECT_EQ(Contents(api.root / "C:/f"), c.stored) << c.location;
        if (c.stored.empty()) {
            EXPECT_EQ(downloader.Report().error, DownloadError::RedirectRefused) << c.location;
        }
    }
}

}  // namespace
}  // namespace net
