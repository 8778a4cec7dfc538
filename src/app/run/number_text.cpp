#include "app/run/number_text.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

namespace app {
namespace {

// The C locale's white space, as the standard wide conversions skip it.
bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

std::size_t SkipBlanks(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i;
}

// Appends the run of digits at text[i...] to ascii and returns the position after it.
std::size_t CopyDigits(std::u16string_view text, std::size_t i, std::string& ascii) {
    while (i < text.size() && IsDigit(text[i])) ascii.push_back(static_cast<char>(text[i++]));
    return i;
}

// Whether an out-of-range mantissa/exponent pair overflowed (rather than underflowed): the
// decimal exponent of its first significant digit is positive.
bool Overflowed(const std::string& mantissa, const std::string& exponent) {
    long long position = 0;  // the power of ten just above the first significant digit
    const std::size_t point = mantissa.find('.');
    const std::size_t intEnd = point == std::string::npos ? mantissa.size() : point;
    const std::size_t firstSignificant = mantissa.find_first_not_of("0.");
    if (firstSignificant == std::string::npos) return false;
    if (firstSignificant < intEnd) {
        position = static_cast<long long>(intEnd - firstSignificant);
    } else {
        position = -static_cast<long long>(firstSignificant - intEnd - 1);
    }
    // Exponents too long for a long long only matter by their sign.
    long long exp = 0;
    const bool negative = exponent.find('-') != std::string::npos;
    for (char c : exponent) {
        if (c < '0' || c > '9') continue;
        if (exp > 1'000'000'000LL) break;
        exp = exp * 10 + (c - '0');
    }
    return position + (negative ? -exp : exp) > 0;
}

}  // namespace

double ReadDecimalPrefix(std::u16string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

    std::string mantissa;
    const std::size_t intStart = i;
    i = CopyDigits(text, i, mantissa);
    bool hasDigits = i > intStart;
    if (i < text.size() && text[i] == u'.') {
        const std::size_t fracStart = i + 1;
        std::string fraction = ".";
        const std::size_t fracEnd = CopyDigits(text, fracStart, fraction);
        if (hasDigits || fracEnd > fracStart) {
            hasDigits = true;
            mantissa += fraction;
            i = fracEnd;
        }
    }
    if (!hasDigits) return 0.0;

    // An exponent counts only when at least one digit follows the letter and its sign.
    std::string exponent;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        std::string candidate = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            candidate.push_back(static_cast<char>(text[j++]));
        }
        const std::size_t digitsStart = j;
        j = CopyDigits(text, j, candidate);
        if (j > digitsStart) exponent = candidate;
    }

    const std::string ascii = mantissa + exponent;
    double value = 0.0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value,
                                              std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        value = Overflowed(mantissa, exponent) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int32_t ReadInt32Prefix(std::u16string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

    // Accumulated as a magnitude that stops growing once it is past the 32-bit range.
    constexpr long long kLimit = 1LL << 31;
    long long magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[i] - u'0');
    }
    if (negative) {
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                   : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kLimit - 1 ? std::numeric_limits<std::int32_t>::max()
                                   : static_cast<std::int32_t>(magnitude);
}

}  // namespace app
