#pragma once
// The package's file, hashed as it is written: a digest check then needs no second pass over
// it. A resumed body hashes the part kept in the file first, read back from the file itself,
// so the digest is always that of the bytes the file holds.

#include <memory>
#include <optional>
#include <string>

#include "app/trust/trust.h"
#include "net/file_sink.h"

namespace app {

class HashingSink final : public net::ByteSink {
  public:
    // Without trust it only writes the file, as a FileSink does.
    // No folder on the path below linkFree may be a link (see net::FileSink).
    HashingSink(Trust* trust, base::FileSystem& files, std::u16string path,
                std::u16string linkFree = {});

    base::FileResult Begin(std::int64_t keep, std::int64_t length) override;
    base::FileResult Write(const char* data, std::size_t size) override;
    base::FileResult Finish() override;
    void Discard() override;

    // The digest of the file as the last Finish left it; none before, after a Discard, without
    // trust, or when hashing failed.
    const std::optional<Sha256Digest>& Digest() const { return digest; }

  private:
    base::FileResult HashKeptPart(std::int64_t keep);

    Trust* trust;
    base::FileSystem& files;
    net::FileSink file;
    std::unique_ptr<Sha256Stream> stream;  // between Begin and Finish; null once it failed
    std::optional<Sha256Digest> digest;
};

}  // namespace app
