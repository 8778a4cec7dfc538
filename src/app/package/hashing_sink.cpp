#include "app/package/hashing_sink.h"

namespace app {
namespace {

struct IntoStream final : base::FileSystem::PieceReader {
    explicit IntoStream(Sha256Stream& into) : stream(into) {}
    bool Take(std::string_view piece) override {
        hashFailed = !stream.Add(piece);
        return !hashFailed;
    }
    Sha256Stream& stream;
    bool hashFailed = false;
};

}  // namespace

HashingSink::HashingSink(Trust* trustRole, base::FileSystem& fileSystem, std::u16string path,
                         std::u16string linkFree)
    : trust(trustRole), files(fileSystem), file(fileSystem, std::move(path), std::move(linkFree)) {}

base::FileResult HashingSink::Begin(std::int64_t keep, std::int64_t length) {
    digest.reset();
    stream = trust ? trust->StartSha256() : nullptr;
    if (keep > 0 && stream) {
        if (const base::FileResult read = HashKeptPart(keep); !read.Ok()) return read;
    }
    return file.Begin(keep, length);
}

base::FileResult HashingSink::HashKeptPart(std::int64_t keep) {
    IntoStream into(*stream);
    const base::FileResult read = files.ReadFirstBytes(file.Path(), keep, into);
    // A hash that failed is no reason to refuse the file: the check then finds no digest.
    if (into.hashFailed) stream.reset();
    return into.hashFailed ? base::Succeeded() : read;
}

base::FileResult HashingSink::Write(const char* data, std::size_t size) {
    const base::FileResult written = file.Write(data, size);
    if (written.Ok() && stream && !stream->Add(std::string_view(data, size))) stream.reset();
    return written;
}

base::FileResult HashingSink::Finish() {
    const base::FileResult finished = file.Finish();
    if (stream) digest = stream->Finish();
    stream.reset();
    return finished;
}

void HashingSink::Discard() {
    file.Discard();
    stream.reset();
    digest.reset();
}

}  // namespace app
