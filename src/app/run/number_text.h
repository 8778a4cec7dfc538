#pragma once
// The two number readings of launch strings and manifests. Both read the longest leading
// number and ignore what follows, like the C library's wide conversions, but independent of
// the locale: the decimal separator is always the point.

#include <cstdint>
#include <string_view>

namespace app {

// Leading white space, then [sign] digits [. digits] [exponent]; 0.0 without such a prefix.
// Only decimal notation: no hexadecimal floats, no inf or nan. Out of range gives ±HUGE_VAL
// or ±0.0.
double ReadDecimalPrefix(std::u16string_view text);

// Leading white space, then [sign] decimal digits, clamped to the signed 32-bit range;
// 0 without digits. "0x10" reads 0.
std::int32_t ReadInt32Prefix(std::u16string_view text);

}  // namespace app
