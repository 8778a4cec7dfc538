#include "fake_net.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace apptest {

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {
std::string LinuxPath(const std::u16string& path) {
    std::string out = ToUtf8(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}
}  // namespace

net::NetHandle FakeNet::Open(const std::u16string&, std::uint32_t) {
    return NewHandle();
}

net::NetHandle FakeNet::Connect(net::NetHandle, const std::u16string& server, std::uint16_t,
                                std::uint32_t) {
    net::NetHandle handle = NewHandle();
    servers[handle] = server;
    return handle;
}

net::NetHandle FakeNet::OpenRequest(net::NetHandle connection, const std::u16string&,
                                    const std::u16string& objectName, const std::u16string&,
                                    std::uint32_t) {
    net::NetHandle handle = NewHandle();
    requests[handle].address = servers[connection] + objectName;
    return handle;
}

bool FakeNet::SendRequest(net::NetHandle request, const std::u16string&, std::uint32_t) {
    Request& r = requests[request];
    if (log) log->push_back("GET " + ToUtf8(r.address));
    auto found = responses.find(r.address);
    r.response = found != responses.end() ? found->second : Response{"HTTP/1.1 404 Not Found", ""};
    return true;
}

net::QueryStatus FakeNet::QueryInfo(net::NetHandle request, std::uint32_t infoLevel, void* buffer,
                                    std::uint32_t& length) {
    const Response& response = requests[request].response;
    const std::string size = std::to_string(response.body.size());
    std::string value = size;
    if (infoLevel == net::kQueryRawHeaders) {
        value = response.statusLine + '\0' + "Content-Length: " + size + '\0' + '\0';
    }
    if (value.size() + 1 > length) {
        length = static_cast<std::uint32_t>(value.size() + 1);
        return net::QueryStatus::BufferTooSmall;
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    length =
        static_cast<std::uint32_t>(infoLevel == net::kQueryRawHeaders ? value.size() : size.size());
    return net::QueryStatus::Ok;
}

bool FakeNet::ReadFile(net::NetHandle request, void* buffer, std::uint32_t toRead,
                       std::uint32_t& read) {
    Request& r = requests[request];
    read =
        static_cast<std::uint32_t>(std::min<std::size_t>(toRead, r.response.body.size() - r.sent));
    std::memcpy(buffer, r.response.body.data() + r.sent, read);
    r.sent += read;
    return true;
}

bool FakeNet::PathExists(const std::u16string& path) {
    struct stat info;
    return ::stat(LinuxPath(path).c_str(), &info) == 0;
}

void FakeNet::CreateFolder(const std::u16string& path) {
    ::mkdir(LinuxPath(path).c_str(), 0700);
}

std::FILE* FakeNet::OpenOutputFile(const std::u16string& path) {
    return std::fopen(LinuxPath(path).c_str(), "wb+");
}

}  // namespace apptest
