// The package as it arrives: hashed while written, bounded by a signed manifest's size and by
// the free space of the work folder's volume.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/package/fetch.h"
#include "app/package/hashing_sink.h"
#include "fake_roles.h"

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

// "package bytes" is 13 bytes long. A signed manifest's size below it, or a volume without 13
// bytes and 1 MiB to spare, fails the download before the file is made; an unsigned manifest's
// size, the placeholder 0 and a size that is no number bound nothing.
TEST(FetchPackage, PackagesBeyondTheirSizeOrTheFreeSpaceFail) {
    using enum app::PackageFetch;
    const struct {
        bool signedManifest;
        std::u16string size;
        std::uint64_t freeBytes;
        app::PackageFetch end;
        std::u16string logged;
    } cases[] = {
        {true, u"13", 13 + (1 << 20), Stored, u"length 13, received 13"},
        {true, u"12", UINT64_MAX, Failed, u"failed: TooLong"},
        {false, u"12", UINT64_MAX, Stored, u"received 13"},
        {true, u"0", UINT64_MAX, Stored, u"received 13"},
        {true, u"13 bytes", UINT64_MAX, Stored, u"package size ignored: \"13 bytes\""},
        {true, u"", 12 + (1 << 20), Failed, u"failed: NoSpace"},
    };
    for (const auto& c : cases) {
        apptest::FakeRun run;
        run.files.freeBytes = c.freeBytes;
        run.net.bodies[u"srv/app.7z"] = "package bytes";
        app::Offer offer;
        offer.address = u"http://srv/app.7z";
        offer.size = c.size;
        offer.signedManifest = c.signedManifest;
        const std::u16string path = u"C:\\Temp\\app.7z";
        EXPECT_EQ(app::FetchPackage(run.roles, 920, offer, path).end, c.end)
            << apptest::Utf8(c.size);
        EXPECT_TRUE(Logged(run, c.logged)) << apptest::Utf8(c.size);
        EXPECT_EQ(run.files.Has(path), c.end == Stored);
    }
}

}  // namespace
