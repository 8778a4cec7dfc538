#pragma once

#include <string>

// Readable UTF-8 for test messages; non-ASCII units show as \uXXXX.
inline std::string Narrow(const std::u16string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
        }
    }
    return out;
}

inline std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}
