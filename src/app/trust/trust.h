#pragma once
// The system's cryptography as the update's checks use it.

#include <optional>
#include <string>
#include <string_view>

#include "app/trust/trust_types.h"

namespace app {

class Trust {
  public:
    virtual ~Trust() = default;

    // SHA-256 of the file's bytes; none when it cannot be read or hashed.
    virtual std::optional<Sha256Digest> FileSha256(const std::u16string& path) = 0;
    // SHA-256 of bytes held in memory; none when they cannot be hashed.
    virtual std::optional<Sha256Digest> Sha256(std::string_view bytes) = 0;
    // True only for an ECDSA P-256 signature over the digest that verifies with the key.
    virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                            const P256Signature& signature) = 0;
};

}  // namespace app
