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

// "srv" → srv:80, "srv:81" → srv:81, "srv:" → srv:80, "[::1]:81" → [::1]:81; defaultPort
// instead of 80 where none is given.
// Empty when the port is not 1..65535 written in digits, or when the host holds a control
// character (a line break there would smuggle header lines into the request).
std::optional<HostAndPort> SplitServer(const std::u16string& server,
                                       std::uint16_t defaultPort = 80);

// An address split for the request: whether it goes over TLS, the server (host and any
// ":port") and the object path (from the first "/" on, empty when there is none).
struct AddressParts {
    bool secure = false;
    std::u16string server;
    std::u16string objectPath;
};

// "http://" or "https://" in any case, only at the very start; an address without a scheme
// is split at its first "/" as it always was. Empty for any other scheme or for text before
// the scheme ("xyhttp://srv"): searching for the prefix anywhere would let a query string
// such as "srv/a?u=http://other/x" send the request to another host.
std::optional<AddressParts> SplitAddressParts(const std::u16string& address);

// Where a redirect may lead: an absolute "https://" address as it is, an absolute "http://"
// one only from plain http, a path ("/x") or a scheme-relative address ("//srv/x") on the
// scheme of the answer. Empty for anything else, plain http from https above all: a secure
// download never continues in the clear.
std::optional<std::u16string> RedirectTarget(const std::u16string& location,
                                             const std::u16string& server, bool secure);

// True when the text holds a character below U+0020 or U+007F.
bool HasControlCharacter(const std::u16string& text);

// 301, 302, 303, 307 and 308: answers that name another address in Location.
bool IsRedirect(int status);

// The number after the first blank of a status line such as "HTTP/1.1 200 OK";
// empty when there is none.
std::optional<int> StatusCode(const std::string& statusLine);

// A Content-Length value read the atoi way (leading white space, an optional "+", digits up
// to the first non-digit); empty when negative, without digits or beyond 64 bits.
std::optional<std::int64_t> ParseContentLength(const std::string& text);

}  // namespace net
