#pragma once

#include <cstdio>
#include <string>

// Readable text for test messages; units outside printable ASCII show as \uXXXX.
inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
        out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return out;
}

inline std::u16string Widen(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}
