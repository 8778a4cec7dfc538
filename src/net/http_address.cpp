#include "net/http_address.h"

#include <cstdint>

namespace net {
namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char16_t Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

bool HasControlCharacter(const std::u16string& text) {
    for (char16_t c : text) {
        if (c < u' ' || c == u'\x7f') return true;
    }
    return false;
}

std::optional<HostAndPort> SplitServer(const std::u16string& server, std::uint16_t defaultPort) {
    if (HasControlCharacter(server)) return std::nullopt;
    // A bracketed IPv6 literal holds colons of its own; the port colon follows its "]".
    std::size_t searchFrom = 0;
    if (!server.empty() && server.front() == u'[') {
        const std::size_t close = server.find(u']');
        if (close != std::u16string::npos) searchFrom = close + 1;
    }
    const std::size_t colon = server.find(u':', searchFrom);
    if (colon == std::u16string::npos) return HostAndPort{server, defaultPort};

    HostAndPort result{server.substr(0, colon), defaultPort};
    const std::u16string digits = server.substr(colon + 1);
    if (digits.empty()) return result;
    std::uint32_t port = 0;
    for (char16_t c : digits) {
        if (!IsDigit(c)) return std::nullopt;
        port = port * 10 + static_cast<std::uint32_t>(c - u'0');
        if (port > 65535) return std::nullopt;
    }
    if (port == 0) return std::nullopt;
    result.port = static_cast<std::uint16_t>(port);
    return result;
}

std::optional<AddressParts> SplitAddressParts(const std::u16string& address) {
    static constexpr std::u16string_view kHttp = u"http://", kHttps = u"https://";
    AddressParts parts;
    std::size_t start = 0;
    if (StartsWithNoCase(address, kHttp)) {
        start = kHttp.size();
    } else if (StartsWithNoCase(address, kHttps)) {
        parts.secure = true;
        start = kHttps.size();
    } else {
        // "://" ahead of the first "/" makes a scheme (or text before one): not ours.
        const std::size_t scheme = address.find(u"://");
        if (scheme != std::u16string::npos && scheme < address.find(u'/')) return std::nullopt;
    }
    const std::size_t slash = address.find(u'/', start);
    if (slash == std::u16string::npos) {
        parts.server = address.substr(start);
    } else {
        parts.server = address.substr(start, slash - start);
        parts.objectPath = address.substr(slash);
    }
    return parts;
}

std::optional<std::u16string> RedirectTarget(const std::u16string& location,
                                             const std::u16string& server, bool secure) {
    const std::u16string scheme = secure ? u"https:" : u"http:";
    if (StartsWithNoCase(location, u"https://")) return location;
    if (!secure && StartsWithNoCase(location, u"http://")) return location;
    if (location.starts_with(u"//")) return scheme + location;
    if (location.starts_with(u"/")) return scheme + u"//" + server + location;
    return std::nullopt;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<int> StatusCode(const std::string& statusLine) {
    const std::size_t blank = statusLine.find(' ');
    if (blank == std::string::npos) return std::nullopt;
    int code = 0;
    std::size_t i = blank + 1;
    const std::size_t start = i;
    // Three digits make a status code; more would only be a larger, equally invalid number.
    for (; i < statusLine.size() && IsDigit(statusLine[i]) && i - start < 4; ++i) {
        code = code * 10 + (statusLine[i] - '0');
    }
    if (i == start) return std::nullopt;
    return code;
}

std::optional<std::int64_t> ParseContentLength(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && text[i] == '-') return std::nullopt;
    if (i < text.size() && text[i] == '+') ++i;
    const std::size_t start = i;
    std::int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (i == start) return std::nullopt;
    return value;
}

}  // namespace net
