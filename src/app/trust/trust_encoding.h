#pragma once
// Reading the publisher's key, signature and digest texts. They come from files and servers
// an attacker may control, so every reader takes exactly one shape and refuses the rest.

#include <optional>
#include <string_view>
#include <vector>

#include "app/trust/trust_types.h"

namespace app {

// The P-256 points of every PEM "PUBLIC KEY" (SubjectPublicKeyInfo with id-ecPublicKey and
// prime256v1, uncompressed point) in the text, in order, as `openssl ec -pubout` writes each;
// several one after another let a publisher ship a new key beside the old one. Text around the
// armour is ignored; inside it only base64 and white space. Empty when there is no such block,
// or when any block is not such a key: a damaged key file is refused whole.
std::vector<P256PublicKey> ReadP256PublicKeysPem(std::string_view pem);

// r||s of a DER ECDSA-Sig-Value (SEQUENCE of two positive INTEGERs, minimal encodings, at
// most 32 bytes of value each, nothing after it), as `openssl dgst -sign` writes it.
std::optional<P256Signature> ReadDerSignature(std::string_view der);

// 64 hex digits in either case, nothing else.
std::optional<Sha256Digest> ReadSha256Text(std::u16string_view text);

}  // namespace app
