#include "net/http_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <tuple>

#include "fakes/memory_file_system.h"
#include "net/fake_net_api.h"
#include "net/file_sink.h"
#include "net/memory_sink.h"

namespace net {
namespace {

using Log = std::vector<std::string>;
using testing::FakeNetApi;

const std::u16string kAddress = u"http://srv:81/dir/f.bin";

DownloadOptions Resuming(bool resume = true) {
    DownloadOptions options;
    options.resume = resume;
    return options;
}

bool Logged(const FakeNetApi& api, const std::string& line) {
    return std::find(api.log.begin(), api.log.end(), line) != api.log.end();
}

using Answer = FakeNetApi::Answer;
const std::string kBody = "0123456789";

// A body that drops after cutAt bytes, or goes silent there.
Answer Body(const std::string& body, std::size_t cutAt = FakeNetApi::kAll, bool stall = false) {
    Answer answer;
    answer.body = body;
    answer.cutAt = cutAt;
    answer.stall = stall;
    return answer;
}
Answer Whole(std::size_t cutAt = FakeNetApi::kAll, bool stall = false) {
    return Body(kBody, cutAt, stall);
}

// The rest from an offset, with this Content-Range ("bytes " and it; empty: none).
Answer Rest(std::size_t from, const std::string& range, const std::string& head = "HTTP/1.1 206") {
    Answer answer = Body(kBody.substr(from));
    answer.head = head;
    answer.range = range.empty() ? "" : "bytes " + range;
    return answer;
}

Answer Redirect(const std::string& location) {
    Answer answer;
    answer.head = "HTTP/1.1 302 Found";
    answer.location = location;
    return answer;
}

// A download over the fake network into files held in memory.
struct Rig {
    FakeNetApi api;
    fakes::MemoryFileSystem files;
    HttpDownloader downloader{api, api.clock};

    bool Download(const std::u16string& address, const std::u16string& path,
                  const DownloadOptions& options = {}) {
        FileSink sink(files, path);
        return downloader.Download(address, sink, options);
    }
};

TEST(Download, StoresTheBodyAndClosesInReverse) {
    Rig rig;
    FakeNetApi& api = rig.api;
    api.bodies[u"srv/dir/f.bin"] = "0123456789";
    api.repeats = 2;  // two reads
    // Only the code counts, up to 299; a head beyond one buffer is asked for again at its size.
    api.status = "HTTP/1.1 299 Moved from 404" + std::string(1, '\0') + std::string(6000, 'x');
    ASSERT_TRUE(rig.Download(kAddress, u"C:\\w\\a\\f.bin"));
    EXPECT_EQ(rig.files.Content(u"C:\\w\\a\\f.bin"), "01234567890123456789");
    EXPECT_TRUE(Logged(api, "Connect h1 srv 81 3"));
    EXPECT_TRUE(Logged(api, "OpenRequest h2 GET /dir/f.bin HTTP/1.1 " +
                                std::to_string(kFlagReload | kFlagNoAutoRedirect)));
    EXPECT_EQ(api.requestHeaders.at(0).find(u"Range"), std::u16string::npos);
    for (const char* option : {"2", "5", "6"}) {  // connect, send, receive: on the request
        EXPECT_TRUE(Logged(api, "SetOption h3 " + std::string(option) + " 30000")) << option;
    }
    const DownloadReport& report = rig.downloader.Report();
    EXPECT_EQ(std::tie(report.status, report.length, report.received, report.retries),
              std::make_tuple(299, 20, 20, 0));

    // The handles stay open until the next download, which closes them first.
    api.log.clear();
    api.failing = "Connect";
    EXPECT_FALSE(rig.Download(kAddress, u"C:\\f"));
    EXPECT_EQ(Log(api.log.begin(), api.log.begin() + 3), (Log{"Close h3", "Close h2", "Close h1"}));
    api.log.clear();
    rig.downloader.CloseHandles();
    EXPECT_EQ(api.log, Log{"Close h4"});  // and nothing twice
}

// Each refusal before the body: its reason, no second try, and an untouched disk.
TEST(Download, RefusedAnswersTouchNoFolderOrFile) {
    const struct {
        std::u16string address;
        std::string failing, status, length;  // empty: as served
        std::u16string reason;
    } cases[] = {
        {kAddress, "Open", "", "", u"初始化HTTP接口失败"},
        {kAddress, "Connect", "", "", u"连接HTTP服务器失败"},
        {u"http://srv\r\nX:81/dir/f.bin", "", "", "", u"连接HTTP服务器失败"},
        {u"http://srv:81/dir/f\r\nX: 1", "", "", "", u"初始化HTTP请求失败"},
        {kAddress, "OpenRequest", "", "", u"初始化HTTP请求失败"},
        {kAddress, "Send", "", "", u"发送HTTP请求失败"},  // refused: not worth another try
        {kAddress, "Head", "", "", u"查询HTTP返回头失败"},
        {kAddress, "", std::string(2 << 20, 'x'), "", u"查询HTTP返回头失败"},  // beyond reason
        {kAddress, "", "HTTP/1.1 404 Not Found", "", u"请求文件不存在!"},
        {kAddress, "", "HTTP/1.1 199 Early", "", u"HTTP服务器返回错误"},
        {kAddress, "", "HTTP/1.1 300 Choices", "", u"HTTP服务器返回错误"},
        {kAddress, "", "HTTP/1.1  200 OK", "", u"HTTP服务器返回错误"},
        {kAddress, "", "HTTP/1.1 4294967496 OK", "", u"HTTP服务器返回错误"},  // 2^32 + 200
        {kAddress, "", "HTTP/1.1 206 Partial", "", u"HTTP服务器返回错误"},    // asked for all
        {kAddress, "Length", "", "", u"查询HTTP返回头失败"},
        {kAddress, "", "", "-10", u"查询HTTP返回头失败"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.api.bodies[u"srv/dir/f.bin"] = "0123456789";
        rig.api.failing = c.failing;
        rig.api.status = c.status;
        rig.api.contentLength = c.length;
        EXPECT_FALSE(rig.Download(c.address, u"C:\\w\\f.bin", Resuming()));
        EXPECT_EQ(rig.downloader.LastFailure(), c.reason) << testing::Utf8(c.reason);
        EXPECT_EQ(rig.downloader.Report().retries, 0) << testing::Utf8(c.reason);
        EXPECT_TRUE(rig.files.nodes.empty());
    }
}

// A sink that only counts, for a body beyond 32 bits; or one whose finish fails, as a file's
// close may on a full disk.
struct CountingSink final : ByteSink {
    std::int64_t count = 0;
    bool finishFails = false;
    base::FileResult Begin(std::int64_t keep, std::int64_t) override {
        return count = keep, base::Succeeded();
    }
    base::FileResult Write(const char*, std::size_t size) override {
        count += static_cast<std::int64_t>(size);
        return {};
    }
    base::FileResult Finish() override {
        return finishFails ? base::FileResult{base::FileError::DiskFull, 112} : base::Succeeded();
    }
    void Discard() override {}
};

// Once the answer is accepted. C:\f.bin holds an older, longer content; C:\w\file is a file.
// Only a line that drops or a send that times out is tried again; a disk that is full or a file
// that can't be made is not, and the failing call's system error goes to the report.
TEST(Download, KeepsWhatArrivedAndTellsWhyItFellShort) {
    const std::string chunk(4096, 'b'), old = "an older and much longer content";
    const struct {
        std::u16string path;
        std::string body;
        std::string length, failing;  // empty: as served
        std::size_t diskLimit;
        DownloadError error;
        int retries;
        std::uint32_t systemError;
    } cases[] = {
        {u"C:\\f.bin", "", "", "", 0, DownloadError::None, 0, 0},
        {u"C:\\f.bin", "0123456789", "20", "", 0, DownloadError::DownloadFailed, 3, 0},
        {u"C:\\f.bin", "0123456789", "20", "Read", 0, DownloadError::DownloadFailed, 3, 12029},
        {u"C:\\w\\g", "", "", "Send", 0, DownloadError::SendFailed, 3, kErrorSocketTimeout},
        {u"C:\\w\\file\\f.bin", "0123456789", "", "", 0, DownloadError::CreateFileFailed, 0, 3},
        {u"C:\\f.bin", chunk + chunk, "", "", 5000, DownloadError::WriteFailed, 0, 112},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.files.AddFile(u"C:\\f.bin", old);
        rig.files.AddFolder(u"C:\\w");
        rig.files.AddFile(u"C:\\w\\file", "x");
        rig.files.diskLimit = c.diskLimit;
        rig.api.bodies[u"srv/f"] = c.body;
        rig.api.contentLength = c.length;
        rig.api.failing = c.failing;
        rig.api.failError = c.systemError;
        const std::string name = testing::Utf8(DownloadErrorName(c.error).data());
        EXPECT_EQ(rig.Download(u"http://srv/f", c.path, Resuming()),
                  c.error == DownloadError::None);
        const DownloadReport& report = rig.downloader.Report();
        EXPECT_EQ(std::tie(report.error, report.retries, report.systemError),
                  std::tie(c.error, c.retries, c.systemError))
            << name;
        const std::string stored = c.diskLimit ? "" : c.body;
        EXPECT_EQ(rig.files.Content(u"C:\\f.bin"), c.path == u"C:\\f.bin" ? stored : old) << name;
        EXPECT_EQ(rig.files.Content(u"C:\\w\\file"), "x");
    }

    Rig rig;
    rig.api.bodies[u"srv/f"] = chunk;
    rig.api.repeats = (std::uint64_t{1} << 32) / 4096 + 1;  // 4 GiB + 4 KiB
    CountingSink counted;
    EXPECT_TRUE(rig.downloader.Download(u"http://srv/f", counted));
    EXPECT_EQ(counted.count, (std::int64_t{1} << 32) + 4096);
    rig.api.repeats = 1;
    counted.finishFails = true;
    EXPECT_FALSE(rig.downloader.Download(u"http://srv/f", counted));
    EXPECT_EQ(rig.downloader.Report().error, DownloadError::WriteFailed);
}

// What each read asks for: what has arrived, or with fullReads a whole chunk, and never more
// than is left of the announced length.
TEST(Download, FullReadsAskForWholeChunksUpToTheLength) {
    for (const bool fullReads : {false, true}) {
        Rig rig;
        FakeNetApi& api = rig.api;
        Answer answer = Body(std::string(100'000, 'f'));
        answer.chunk = 1000;
        api.answers = {answer};
        DownloadOptions options;
        options.fullReads = fullReads;
        ASSERT_TRUE(rig.Download(u"http://srv/f", u"C:\\f.bin", options));
        EXPECT_EQ(rig.files.Content(u"C:\\f.bin"), answer.body);
        Log reads;
        std::copy_if(api.log.begin(), api.log.end(), std::back_inserter(reads),
                     [](const std::string& line) { return line.starts_with("Read "); });
        const Log expected =
            fullReads ? Log{"Read h3 65536", "Read h3 34464"} : Log{"Read h3 1000"};
        EXPECT_EQ(reads, expected);
    }
}

// Each request's Range and If-Range ("4- \"v1\""; empty: neither).
std::vector<std::string> Asked(const FakeNetApi& api) {
    std::vector<std::string> asked;
    for (const std::u16string& headers : api.requestHeaders) {
        const std::string text = testing::Utf8(headers);
        std::string seen;
        for (const std::string name : {"Range: bytes=", "If-Range: "}) {
            const std::size_t at = text.find(name), from = at + name.size();
            if (at == text.npos) continue;
            seen += (seen.empty() ? "" : " ") + text.substr(from, text.find("\r\n", from) - from);
        }
        asked.push_back(seen);
    }
    return asked;
}

// A line that drops or times out part-way: which requests follow, and what is kept. A resume
// asks for the rest only of the same body: If-Range with the strong ETag or else Last-Modified,
// from the first answer; without either, or when the server sends the body whole or with another
// tag or range, the body starts again from zero.
TEST(Download, RetriesWhatTheLineLostAndNotWhatTheServerRefused) {
    using enum DownloadError;
    // longer: a range that fits itself but not the file resumed, which has 10 bytes.
    Answer cut7 = Rest(4, "4-9/10"), cut1 = Rest(1, "1-9/10"), longer = Rest(4, "4-10/11");
    longer.body += "x";
    cut7.cutAt = 3;
    cut1.cutAt = 0;
    Answer silent1 = cut1;
    silent1.stall = true;
    // Kept bytes that differ from kBody show that the rest was spliced to them.
    const std::string x = "x123456789", date = "Mon, 07 Dec 2026 10:00:00 GMT";
    const std::string r1 = "1- \"v1\"", r4 = "4- \"v1\"";  // Range from 1 or 4, If-Range v1
    Answer first = Body(x, 4), weak = first, untagged = Whole(4), otherTag = Rest(4, "4-9/10");
    weak.etag = "W/\"v1\"";
    weak.lastModified = date;
    untagged.etag = "";
    otherTag.etag = "\"v2\"";
    const struct {
        const char* name;
        bool resume;
        std::vector<Answer> answers;
        std::vector<std::string> asked;  // by each request
        DownloadError error = None;
        std::string stored = kBody;
    } cases[] = {
        {"resumed at the offset", true, {first, Rest(4, "4-9/10")}, {"", r4}, None, x},
        {"weak tag: the date", true, {weak, Rest(4, "4-9/10")}, {"", "4- " + date}, None, x},
        {"after a time-out", true, {Whole(4, true), Rest(4, "4-9/10")}, {"", r4}},
        {"twice", true, {Whole(4), cut7, Rest(7, "7-9/10")}, {"", r4, "7- \"v1\""}},
        {"200 starts again", true, {Whole(4), Whole()}, {"", r4}},
        {"other total", true, {Whole(4), longer, Whole()}, {"", r4, ""}},
        {"other offset", true, {Whole(4), Rest(5, "5-9/10"), Whole()}, {"", r4, ""}},
        {"no range", true, {Whole(4), Rest(4, ""), Whole()}, {"", r4, ""}},
        {"other tag", true, {Whole(4), otherTag, Whole()}, {"", r4, ""}},
        {"no validator: from zero", true, {untagged, Whole()}, {"", ""}},
        {"without resume: whole again", false, {Whole(4), Whole(7), Whole()}, {"", "", ""}},
        {"3 retries", true, {Whole(1), cut1, cut1, silent1}, {"", r1, r1, r1}, TimedOut},
        {"4xx ends it", true, {Whole(4), Rest(4, "", "HTTP/1.1 416")}, {"", r4}, ServerError},
        {"5xx ends it", false, {Whole(4), Rest(0, "", "HTTP/1.1 500")}, {"", ""}, ServerError},
    };
    // Whole-chunk reads meet the same drops and stalls and end the same way; a body held in
    // memory resumes as a file does.
    for (const int run : {0, 1, 2})
        for (const auto& c : cases) {
            Rig rig;
            rig.api.answers.assign(c.answers.begin(), c.answers.end());
            DownloadOptions options = Resuming(c.resume);
            options.fullReads = run == 1;
            MemorySink memory;
            const bool stored = run == 2 ? rig.downloader.Download(u"http://srv/f", memory, options)
                                         : rig.Download(u"http://srv/f", u"C:\\f.bin", options);
            const DownloadReport& report = rig.downloader.Report();
            EXPECT_EQ(report.error, c.error) << c.name << " run " << run;
            EXPECT_EQ(stored, c.error == None) << c.name;
            if (stored) {
                EXPECT_EQ(run == 2 ? memory.Bytes() : rig.files.Content(u"C:\\f.bin"), c.stored)
                    << c.name << " run " << run;
            }
            EXPECT_EQ(report.retries, static_cast<int>(c.asked.size()) - 1) << c.name;
            EXPECT_EQ(Asked(rig.api), c.asked) << c.name;
            EXPECT_EQ(rig.api.clock.pauses,
                      std::vector<std::uint32_t>(c.asked.size() - 1, HttpDownloader::kRetryPauseMs))
                << c.name;
        }
}

// Less than 1 KiB in any 60 s ends the download, retries or not; the time it ends is the
// fake's clock, moved by arriving chunks, 30 s time-outs and 3 s pauses.
TEST(Download, EndsWhenLessThanAKibArrivesInAMinute) {
    using enum DownloadError;
    const auto trickle = [](std::size_t chunk, std::uint64_t ms) {
        Answer answer = Body(std::string(4096, 'x'));
        answer.chunk = chunk;
        answer.msPerChunk = ms;
        return answer;
    };
    const Answer silent = Body("x", 0, true), fast = Body(std::string(4096, 'x'), 2048, true);
    const struct {
        const char* name;
        std::vector<Answer> answers;
        DownloadError error;
        std::uint64_t endsAt;
        int retries;
    } cases[] = {
        {"head, then nothing", {silent, silent, silent}, Stalled, 60'000, 1},
        {"a byte every 25 s", {trickle(1, 25'000)}, Stalled, 60'000, 0},
        {"512 bytes every 29 s", {trickle(512, 29'000)}, None, 8 * 29'000, 0},
        {"fast, then silent", {fast, silent, silent}, Stalled, 60'000, 1},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.api.answers.assign(c.answers.begin(), c.answers.end());
        rig.Download(u"http://srv/f", u"C:\\f.bin", Resuming());
        const DownloadReport& r = rig.downloader.Report();
        EXPECT_EQ(std::tie(r.error, r.elapsedMs, r.retries),
                  std::make_tuple(c.error, std::int64_t(c.endsAt), c.retries))
            << c.name;
    }
}

// Cancel at the start of the body, part-way, or while waiting to retry: nothing is kept.
TEST(Download, CancelStopsAtOnceAndDeletesThePartialFile) {
    for (const int allowed : {0, 2, 3}) {
        Rig rig;
        rig.api.answers = {Whole(6), Whole()};
        rig.api.answers.front().chunk = 3;
        std::vector<std::int64_t> seen;
        DownloadOptions options = Resuming();
        options.progress = [&](std::int64_t got, std::int64_t total) {
            EXPECT_EQ(total, 10);
            seen.push_back(got);
            return static_cast<int>(seen.size()) <= allowed;
        };
        EXPECT_FALSE(rig.Download(u"http://srv/f", u"C:\\f.bin", options));
        EXPECT_EQ(rig.downloader.Report().error, DownloadError::Cancelled) << allowed;
        const std::vector<std::int64_t> all{0, 3, 6, 6};  // the body, two reads, the retry
        EXPECT_EQ(seen, std::vector<std::int64_t>(all.begin(), all.begin() + allowed + 1));
        EXPECT_FALSE(rig.files.Has(u"C:\\f.bin")) << allowed;
    }
}

// Redirects are taken by hand: on to https from anywhere, on to http only from http, on the
// scheme of the answer for a path or a scheme-relative address.
TEST(Download, RedirectsNeverLeadFromHttpsToHttp) {
    // From where, to where srv/a sends the download, and what is stored: "a-body" when srv/a
    // serves its own body, "b-body" from srv/b, nothing when refused.
    const std::string cases[][3] = {
        {"https", "", "a-body"},
        {"https", "https://srv/b", "b-body"},
        {"https", "/b", "b-body"},
        {"https", "//srv/b", "b-body"},
        {"https", "http://srv/b", ""},
        {"https", "HTTP://srv/b", ""},
        {"https", "b", ""},
        {"https", "ftp://srv/b", ""},
        {"http", "http://srv/b", "b-body"},
        {"http", "HTTPS://srv/b", "b-body"},
        {"http", "/b", "b-body"},
        {"http", "file://srv/b", ""},
    };
    for (const auto& [scheme, location, stored] : cases) {
        Rig rig;
        rig.api.bodies[u"srv/a"] = "a-body";
        rig.api.bodies[u"srv/b"] = "b-body";
        if (!location.empty()) rig.api.answers = {Redirect(location)};
        const std::u16string from(scheme.begin(), scheme.end());
        EXPECT_EQ(rig.Download(from + u"://srv/a", u"C:\\f"), !stored.empty()) << location;
        const bool secure = scheme == "https";
        EXPECT_EQ(rig.api.log[1], secure ? "Connect h1 srv 443 3" : "Connect h1 srv 80 3");
        EXPECT_EQ(rig.api.log[2], "OpenRequest h2 GET /a HTTP/1.1 " +
                                      std::to_string(kFlagReload | kFlagNoAutoRedirect |
                                                     (secure ? kFlagSecure : 0)));
        EXPECT_EQ(rig.files.Content(u"C:\\f"), stored) << location;
        EXPECT_EQ(rig.downloader.Report().error == DownloadError::RedirectRefused, stored.empty());
    }
}

// However the redirects and the lost lines mix, one download makes at most 1 + 5 redirects +
// 3 retries requests, and goes on after a redirect with what it kept.
TEST(Download, RedirectsShareOneBudgetAndCarryTheResumeAlong) {
    const Answer loop = Redirect("/a");
    const struct {
        const char* name;
        std::vector<Answer> answers;  // the rest: loop
        std::vector<std::string> requests;
        DownloadError error;
    } cases[] = {
        {"a loop", {}, std::vector<std::string>(6, "GET srv/a"), DownloadError::RedirectRefused},
        {"a resume behind redirects",
         {Redirect("/b"), Whole(4), Redirect("http://srv/c"), Rest(4, "4-9/10")},
         {"GET srv/a", "GET srv/b", "GET srv/b", "GET srv/c"},
         DownloadError::None},
        {"drops between redirects",
         {Whole(4), loop, loop, loop, Whole(4), loop, loop},
         std::vector<std::string>(8, "GET srv/a"),
         DownloadError::RedirectRefused},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.api.requestsOnly = true;
        rig.api.answers.assign(c.answers.begin(), c.answers.end());
        rig.api.answers.resize(20, loop);
        const bool ok = c.error == DownloadError::None;
        EXPECT_EQ(rig.Download(u"http://srv/a", u"C:\\f", Resuming()), ok) << c.name;
        EXPECT_EQ(rig.api.log, c.requests) << c.name;
        EXPECT_EQ(rig.downloader.Report().error, c.error) << c.name;
        if (ok) {
            EXPECT_EQ(rig.files.Content(u"C:\\f"), kBody) << c.name;
        }
    }
}

}  // namespace
}  // namespace net
