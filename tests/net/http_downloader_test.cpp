#include "net/http_downloader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "fake_net_api.h"

namespace net {
namespace {

namespace fs = std::filesystem;
using Log = std::vector<std::string>;

class DownloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("net_tests_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "C:");  // the drive
    }
    void TearDown() override { fs::remove_all(root); }

    std::string Contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Everything below the drive, for "the disk is unchanged" checks.
    std::vector<fs::path> Disk() {
        std::vector<fs::path> found;
        for (const auto& entry : fs::recursive_directory_iterator(root / "C:")) {
            found.push_back(entry.path());
        }
        return found;
    }

    fs::path root;
};

const Log kRequestCalls = {
    "Open Http-connect 0",
    "Connect h1 srv 81 3",
    "OpenRequest h2 GET /dir/f.bin HTTP/1.1 2147483648",
    "Send h3 105",
    "Query h3 21 4096",
    "Query h3 5 4096",
};

TEST_F(DownloadTest, StoresTheBodyWithTheDesignedCalls) {
    testing::FakeNetApi api(root);
    api.chunks = {"01234", "56789"};
    {
        HttpDownloader downloader(api);
        ASSERT_TRUE(downloader.Download(u"http://srv:81/dir/f.bin", u"C:\\w\\a\\f.bin"));
        EXPECT_EQ(downloader.LastFailure(), u"");
        EXPECT_EQ(api.sentHeaders.substr(0, 16), u"Referer: srv:81\r");

        Log expected = kRequestCalls;
        expected.insert(expected.end(),
                        {"Exists C:", "Exists C:\\w", "CreateFolder C:\\w", "Exists C:\\w\\a",
                         "CreateFolder C:\\w\\a", "OpenFile C:\\w\\a\\f.bin", "Read h3 4096"});
        EXPECT_EQ(api.log, expected);
        EXPECT_EQ(Contents(root / "C:/w/a/f.bin"), "0123456789");
        // The handles stay open until the next download or the end of the downloader.
        EXPECT_EQ(downloader.RequestHandle(), reinterpret_cast<NetHandle>(3));
        api.log.clear();
    }
    EXPECT_EQ(api.log, (Log{"Close h3", "Close h2", "Close h1"}));
}

TEST_F(DownloadTest, NextDownloadClosesWhatTheLastOneLeftOpen) {
    testing::FakeNetApi api(root);
    api.connectFails = true;
    HttpDownloader downloader(api);
    EXPECT_FALSE(downloader.Download(u"http://srv/f", u"C:\\f"));
    EXPECT_EQ(downloader.ConnectionHandle(), nullptr);
    api.connectFails = false;
    api.log.clear();
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f"));
    EXPECT_EQ(api.log.at(0), "Close h1");
    EXPECT_EQ(api.log.at(1), "Open Http-connect 0");
    api.log.clear();
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f"));
    EXPECT_EQ(Log(api.log.begin(), api.log.begin() + 4),
              (Log{"Close h4", "Close h3", "Close h2", "Open Http-connect 0"}));
    downloader.CloseHandles();
    EXPECT_EQ(downloader.InternetHandle(), nullptr);
    api.log.clear();
    downloader.CloseHandles();
    EXPECT_TRUE(api.log.empty());
}

// Each refusal before the body: its reason, the calls made, and an untouched disk.
TEST_F(DownloadTest, RefusedAnswersTouchNoFolderOrFile) {
    struct Case {
        const char* name;
        std::function<void(testing::FakeNetApi&)> script;
        std::u16string address;
        std::u16string reason;
        std::size_t callsMade;  // how many of kRequestCalls happen
    };
    const std::u16string address = u"http://srv:81/dir/f.bin";
    const Case cases[] = {
        {"open", [](auto& a) { a.openFails = true; }, address, u"初始化HTTP接口失败", 1},
        {"connect", [](auto& a) { a.connectFails = true; }, address, u"连接HTTP服务器失败", 2},
        {"bad port", [](auto&) {}, u"http://srv:8o/dir/f.bin", u"连接HTTP服务器失败", 1},
        {"line break in host", [](auto&) {}, u"http://srv\r\nX:81/dir/f.bin", u"连接HTTP服务器失败",
         1},
        {"line break in path", [](auto&) {}, u"http://srv:81/dir/f\r\nX: 1", u"初始化HTTP请求失败",
         2},
        {"request", [](auto& a) { a.openRequestFails = true; }, address, u"初始化HTTP请求失败", 3},
        {"send", [](auto& a) { a.sendFails = true; }, address, u"发送HTTP请求失败", 4},
        {"head", [](auto& a) { a.headQueryFails = true; }, address, u"查询HTTP返回头失败", 5},
        {"404", [](auto& a) { a.rawHead = std::string("HTTP/1.1 404 Not Found\0\0", 24); }, address,
         u"请求文件不存在!", 5},
        {"500", [](auto& a) { a.rawHead = std::string("HTTP/1.1 500 Oops\0\0", 19); }, address,
         u"HTTP服务器返回错误", 5},
        {"304", [](auto& a) { a.rawHead = std::string("HTTP/1.1 304 Same\0\0", 19); }, address,
         u"HTTP服务器返回错误", 5},
        {"no code", [](auto& a) { a.rawHead = std::string("garbage\0\0", 9); }, address,
         u"HTTP服务器返回错误", 5},
        {"no length", [](auto& a) { a.contentLength.reset(); }, address, u"查询HTTP返回头失败", 6},
        {"negative", [](auto& a) { a.contentLength = "-10"; }, address, u"查询HTTP返回头失败", 6},
        {"no digits", [](auto& a) { a.contentLength = "ten"; }, address, u"查询HTTP返回头失败", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::FakeNetApi api(root);
        c.script(api);
        HttpDownloader downloader(api);
        EXPECT_FALSE(downloader.Download(c.address, u"C:\\w\\f.bin"));
        EXPECT_EQ(downloader.LastFailure(), c.reason);
        EXPECT_EQ(api.log, Log(kRequestCalls.begin(), kRequestCalls.begin() + c.callsMade));
        EXPECT_TRUE(Disk().empty());
    }
}

TEST_F(DownloadTest, StatusLineMentioning404ButSaying200Succeeds) {
    testing::FakeNetApi api(root);
    api.rawHead = std::string("HTTP/1.1 200 Moved from 404\0\0", 29);
    HttpDownloader downloader(api);
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));
}

TEST_F(DownloadTest, LongHeadIsReadWithTheSizeTheQueryAsksFor) {
    testing::FakeNetApi api(root);
    api.rawHead = "HTTP/1.1 200 OK" + std::string(1, '\0') + std::string(6000, 'x') + '\0' + '\0';
    HttpDownloader downloader(api);
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));
    EXPECT_EQ(api.log.at(4), "Query h3 21 4096");
    EXPECT_EQ(api.log.at(5), "Query h3 21 6018");
    EXPECT_EQ(api.log.at(6), "Query h3 5 4096");

    // A head beyond all reason is refused without a second query.
    testing::FakeNetApi huge(root);
    huge.rawHead = std::string(2 << 20, 'x');
    HttpDownloader second(huge);
    EXPECT_FALSE(second.Download(u"http://srv/f", u"C:\\g.bin"));
    EXPECT_EQ(second.LastFailure(), u"查询HTTP返回头失败");
    EXPECT_EQ(huge.log.back(), "Query h3 21 4096");
}

TEST_F(DownloadTest, CutBodyKeepsTheBytesThatArrived) {
    for (bool readError : {false, true}) {
        testing::FakeNetApi api(root);
        api.contentLength = "20";
        api.readFailsAtEnd = readError;
        HttpDownloader downloader(api);
        EXPECT_FALSE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));
        EXPECT_EQ(downloader.LastFailure(), u"下载文件失败，请检查网络设置");
        EXPECT_EQ(Contents(root / "C:/f.bin"), "0123456789");
    }
}

TEST_F(DownloadTest, ExistingFileIsTruncatedAndEmptyBodyGivesEmptyFile) {
    std::ofstream(root / "C:/f.bin") << "an older and much longer content";
    testing::FakeNetApi api(root);
    api.contentLength = "0";
    api.chunks.clear();
    HttpDownloader downloader(api);
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));
    EXPECT_TRUE(fs::exists(root / "C:/f.bin"));
    EXPECT_EQ(Contents(root / "C:/f.bin"), "");
}

TEST_F(DownloadTest, PathPrefixThatIsAFileKeepsTheFoldersMadeBeforeIt) {
    fs::create_directories(root / "C:/w");
    std::ofstream(root / "C:/w/file") << "x";
    testing::FakeNetApi api(root);
    HttpDownloader downloader(api);
    EXPECT_FALSE(downloader.Download(u"http://srv/f", u"C:\\w\\new\\..\\file\\f.bin"));
    EXPECT_EQ(downloader.LastFailure(), u"创建文件失败，可能是文件正在被占用");
    EXPECT_TRUE(fs::is_directory(root / "C:/w/new"));
    EXPECT_EQ(Contents(root / "C:/w/file"), "x");
}

TEST_F(DownloadTest, FullDiskFails) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (std::size_t size : {10u, 100000u}) {  // caught at the close, and at a write
        testing::FakeNetApi api(root);
        api.outputOverride = "/dev/full";
        api.chunks.clear();
        api.repeatedChunk = std::string(4096, 'b');
        api.repeatsLeft = size / 4096 + 1;
        api.contentLength = std::to_string(api.repeatsLeft * 4096);
        HttpDownloader downloader(api);
        EXPECT_FALSE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));
        EXPECT_EQ(downloader.LastFailure(), u"写入文件失败");
    }
}

TEST_F(DownloadTest, BodiesBeyond32BitLengthsCompareCorrectly) {
    testing::FakeNetApi api(root);
    api.outputOverride = "/dev/null";
    api.chunks.clear();
    api.repeatedChunk = std::string(4096, 'b');
    api.repeatsLeft = (std::uint64_t{1} << 32) / 4096 + 1;  // 4 GiB and one chunk
    api.contentLength = std::to_string(api.repeatsLeft * 4096);
    HttpDownloader downloader(api);
    EXPECT_TRUE(downloader.Download(u"http://srv/f", u"C:\\f.bin"));

    // The same count against a length that a 32-bit count would wrap to.
    testing::FakeNetApi wrapped(root);
    wrapped.outputOverride = "/dev/null";
    wrapped.chunks.clear();
    wrapped.repeatedChunk = std::string(4096, 'b');
    wrapped.repeatsLeft = api.repeatsLeft;
    wrapped.contentLength = "4096";
    HttpDownloader second(wrapped);
    EXPECT_FALSE(second.Download(u"http://srv/f", u"C:\\f.bin"));
}

}  // namespace
}  // namespace net
