#include "app/trust/trust_encoding.h"

#include <string>

namespace app {
namespace {

using Bytes = std::basic_string<std::uint8_t>;

// Every well-formed P-256 key in DER starts with these bytes: SEQUENCE (89 bytes) of the
// algorithm SEQUENCE (id-ecPublicKey, prime256v1) and a BIT STRING of 66 bytes whose unused-
// bits byte is 0 and whose point is uncompressed (04). DER allows no other encoding of it.
constexpr std::uint8_t kKeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Strict base64: padding only at the very end and only where the length needs it.
std::optional<Bytes> DecodeBase64(std::string_view text) {
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0, padding = 0;
    for (char c : text) {
        if (IsWhiteSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padding > 0) return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<std::uint8_t>(bits >> 16));
            out.push_back(static_cast<std::uint8_t>(bits >> 8));
            out.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || (count > 0 && count + padding != 4) || (count == 0 && padding > 0)) {
        return std::nullopt;
    }
    if (count == 2) out.push_back(static_cast<std::uint8_t>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<std::uint8_t>(bits >> 10));
        out.push_back(static_cast<std::uint8_t>(bits >> 2));
    }
    return out;
}

// One DER INTEGER at data[at], short-form length, positive and minimally encoded, its value
// left-padded into 32 bytes at out.
bool ReadInteger(std::string_view data, std::size_t& at, std::uint8_t* out) {
    if (data.size() - at < 2 || data[at] != 0x02) return false;
    const auto length = static_cast<std::uint8_t>(data[at + 1]);
    at += 2;
    if (length == 0 || length > 33 || data.size() - at < length) return false;
    std::string_view value = data.substr(at, length);
    at += length;
    if (static_cast<std::uint8_t>(value[0]) & 0x80) return false;  // negative
    if (value[0] == 0) {
        // A leading zero only keeps the next byte from reading as a sign.
        if (value.size() == 1 || !(static_cast<std::uint8_t>(value[1]) & 0x80)) return false;
        value.remove_prefix(1);
    }
    if (value.size() > 32) return false;
    for (std::size_t i = 0; i < 32; ++i) out[i] = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        out[32 - value.size() + i] = static_cast<std::uint8_t>(value[i]);
    }
    return true;
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

std::vector<P256PublicKey> ReadP256PublicKeysPem(std::string_view pem) {
    static constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
    static constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
    std::vector<P256PublicKey> keys;
    for (std::size_t begin = pem.find(kBegin); begin != std::string_view::npos;
         begin = pem.find(kBegin, begin)) {
        const std::size_t body = begin + kBegin.size();
        const std::size_t end = pem.find(kEnd, body);
        if (end == std::string_view::npos) return {};
        const std::optional<Bytes> der = DecodeBase64(pem.substr(body, end - body));
        if (!der || der->size() != sizeof(kKeyPrefix) + 64 ||
            der->compare(0, sizeof(kKeyPrefix), kKeyPrefix, sizeof(kKeyPrefix)) != 0) {
            return {};
        }
        P256PublicKey& key = keys.emplace_back();
        for (std::size_t i = 0; i < key.size(); ++i) key[i] = (*der)[sizeof(kKeyPrefix) + i];
        begin = end + kEnd.size();
    }
    return keys;
}

std::optional<P256Signature> ReadDerSignature(std::string_view der) {
    // A SEQUENCE whose short-form length covers the rest exactly: two INTEGERs of at most 35
    // bytes each never need the long form.
    if (der.size() < 2 || der[0] != 0x30 || static_cast<std::uint8_t>(der[1]) != der.size() - 2) {
        return std::nullopt;
    }
    P256Signature signature;
    std::size_t at = 2;
    if (!ReadInteger(der, at, signature.data()) || !ReadInteger(der, at, signature.data() + 32) ||
        at != der.size()) {
        return std::nullopt;
    }
    return signature;
}

std::optional<Sha256Digest> ReadSha256Text(std::u16string_view text) {
    Sha256Digest digest;
    if (text.size() != digest.size() * 2) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

}  // namespace app
