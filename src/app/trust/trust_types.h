#pragma once
// The fixed-size values of the update's checks, as the system's cryptography takes them.

#include <array>
#include <cstdint>

namespace app {

using Sha256Digest = std::array<std::uint8_t, 32>;
// X then Y of an uncompressed P-256 point, 32 big-endian bytes each.
using P256PublicKey = std::array<std::uint8_t, 64>;
// r then s of an ECDSA P-256 signature, 32 big-endian bytes each.
using P256Signature = std::array<std::uint8_t, 64>;

}  // namespace app
