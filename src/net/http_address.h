#pragma once
// Reading the server part of an address: host and port for the connect call.

#include <cstdint>
#include <optional>
#include <string>

namespace net {

struct HostAndPort {
    std::u16string host;
    std::uint16_t port = 0;
};

// "srv" → srv:80, "srv:81" → srv:81, "srv:" → srv:80, "[::1]:81" → [::1]:81.
// Empty when the port is not 1..65535 written in digits, or when the host holds a control
// character (a line break there would smuggle header lines into the request).
std::optional<HostAndPort> SplitServer(const std::u16string& server);

// True when the text holds a character below U+0020 or U+007F.
bool HasControlCharacter(const std::u16string& text);

// The number after the first blank of a status line such as "HTTP/1.1 200 OK";
// empty when there is none.
std::optional<int> StatusCode(const std::string& statusLine);

// A Content-Length value read the atoi way (leading white space, an optional "+", digits up
// to the first non-digit); empty when negative, without digits or beyond 64 bits.
std::optional<std::int64_t> ParseContentLength(const std::string& text);

}  // namespace net
