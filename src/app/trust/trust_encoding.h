#pragma once
// Reading the publisher's key, signature and digest texts. They come from files and servers
// an attacker may control, so every reader takes exactly one shape and refuses the rest.

#include <optional>
#include <string_view>

#include "app/trust/trust_types.h"

namespace app {

// The P-256 point of a PEM "PUBLIC KEY" (SubjectPublicKeyInfo with id-ecPublicKey and
// prime256v1, uncompressed point), as `openssl ec -pubout` writes it. Text around the
// armour is ignored; inside it only base64 and white space.
std::optional<P256PublicKey> ReadP256PublicKeyPem(std::string_view pem);

// r||s of a DER ECDSA-Sig-Value (SEQUENCE of two positive INTEGERs, minimal encodings, at
// most 32 bytes of value each, nothing after it), as `openssl dgst -sign` writes it.
std::optional<P256Signature> ReadDerSignature(std::string_view der);

// 64 hex digits in either case, nothing else.
std::optional<Sha256Digest> ReadSha256Text(std::u16string_view text);

}  // namespace app
