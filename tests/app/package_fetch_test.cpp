// The package as it arrives: hashed while written, bounded by the manifest's size and by the
// free space of the work folder's volume.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/package/hashing_sink.h"
#include "whole_run.h"

namespace {

bool Logged(const apptest::FakeRun& run, std::u16string_view part) {
    return std::any_of(run.log.lines.begin(), run.log.lines.end(), [&](const std::u16string& line) {
        return line.find(part) != std::u16string::npos;
    });
}

// The digest is of the bytes the file holds: a resume hashes the kept part as read back from
// the file (whoever changed it meanwhile), a body begun again hashes only itself, and a hash
// that fails leaves the file written but no digest.
TEST(HashingSink, HashesWhatTheFileHolds) {
    fakes::MemoryFileSystem files;
    apptest::FakeTrust trust(files);
    app::HashingSink sink(&trust, files, u"C:\\p.7z");
    const auto body = [&](std::int64_t keep, const std::string& bytes) {
        EXPECT_TRUE(sink.Begin(keep, 10).Ok());
        EXPECT_TRUE(sink.Write(bytes.data(), bytes.size()).Ok());
        EXPECT_TRUE(sink.Finish().Ok());
    };
    body(0, "0123");
    files.AddFile(u"C:\\p.7z", "XY23");
    body(4, "456789");
    EXPECT_EQ(trust.streamed, "XY23456789");
    EXPECT_EQ(sink.Digest(), trust.fileDigest);
    body(0, "new");
    EXPECT_EQ(trust.streamed, "new");
    trust.streamFails = true;
    body(0, "0123456789");
    EXPECT_EQ(sink.Digest(), std::nullopt);
    EXPECT_EQ(files.Content(u"C:\\p.7z"), "0123456789");
    trust.streamFails = false;
    body(0, "x");
    sink.Discard();
    EXPECT_EQ(sink.Digest(), std::nullopt);
    EXPECT_FALSE(files.Has(u"C:\\p.7z"));
}

// "package bytes" is 13 bytes long: a size below it, or a volume without 13 bytes and 1 MiB to
// spare, fails the run before the file is made; a size that is no number bounds nothing.
TEST(RunAndReport, PackagesBeyondTheirSizeOrTheFreeSpaceFail) {
    const std::string get = "GET srv/update.xml; " + apptest::kAsk + "; GET srv/app.7z; ";
    const std::string applied = get + "told; unpack; open C:\\App\\App.exe";
    const struct {
        std::string size;  // the attribute; empty: none
        std::uint64_t freeBytes;
        std::string seen;
        std::u16string logged;
    } cases[] = {
        {"13", 13 + (1 << 20), applied, u"length 13, received 13"},
        {"12", UINT64_MAX, get + apptest::kFail, u"failed: TooLong"},
        {"13 bytes", UINT64_MAX, applied, u"package size ignored: \"13 bytes\" is no whole number"},
        {"", 12 + (1 << 20), get + apptest::kFail, u"failed: NoSpace"},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        run.ArchiverSucceeds();
        run.files.freeBytes = c.freeBytes;
        run.net.bodies[u"srv/app.7z"] = "package bytes";
        run.net.bodies[u"srv/update.xml"] =
            apptest::Offer("app.7z", "0", c.size.empty() ? "" : " size=\"" + c.size + "\"");
        EXPECT_EQ(apptest::RunWhole(run), c.seen) << c.size;
        EXPECT_TRUE(Logged(run, c.logged)) << c.size;
    }
}

}  // namespace
