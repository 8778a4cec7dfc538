#pragma once
// The system's cryptography as the update's checks use it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/trust/trust_types.h"

namespace app {

// A SHA-256 fed piece by piece, for bytes that pass by once (a package as it is written).
class Sha256Stream {
  public:
    virtual ~Sha256Stream() = default;
    // False when the bytes could not be hashed; the stream is then of no further use.
    virtual bool Add(std::string_view bytes) = 0;
    // The digest of everything added; none when it cannot be had. Ends the stream.
    virtual std::optional<Sha256Digest> Finish() = 0;
};

class Trust {
  public:
    virtual ~Trust() = default;

    // SHA-256 of the file's bytes; none when it cannot be read or hashed.
    virtual std::optional<Sha256Digest> FileSha256(const std::u16string& path) = 0;
    // SHA-256 of bytes held in memory; none when they cannot be hashed.
    virtual std::optional<Sha256Digest> Sha256(std::string_view bytes) = 0;
    // A fresh SHA-256 stream; null when none can be made. It may be fed on another thread
    // than the one that made it.
    virtual std::unique_ptr<Sha256Stream> StartSha256() = 0;
    // True only for an ECDSA P-256 signature over the digest that verifies with the key.
    virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                            const P256Signature& signature) = 0;
};

}  // namespace app
