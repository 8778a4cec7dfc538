#pragma once
// A NetApi that serves bodies from a table of addresses and writes files under a Linux folder:
// Windows paths become Linux paths by turning "\" into "/".

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "net/net_api.h"

namespace apptest {

inline std::string ToUtf8(const std::u16string& text) {  // enough for the BMP
    std::string out;
    for (const char16_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out +=
                {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

class FakeNet final : public net::NetApi {
  public:
    // Served with status 200 for "http://" + key; every other address answers 404.
    std::map<std::u16string, std::string> bodies;
    // "GET " + server + object path of every request, shared with the platform fake so that
    // tests see downloads among the other calls.
    std::vector<std::string>* log = nullptr;

    net::NetHandle Open(const std::u16string&, std::uint32_t) override { return NewHandle(); }
    net::NetHandle Connect(net::NetHandle, const std::u16string& server, std::uint16_t,
                           std::uint32_t) override {
        server_ = server;
        return NewHandle();
    }
    net::NetHandle OpenRequest(net::NetHandle, const std::u16string&, const std::u16string& object,
                               const std::u16string&, std::uint32_t) override {
        address_ = server_ + object;
        return NewHandle();
    }
    bool SendRequest(net::NetHandle, const std::u16string&, std::uint32_t) override {
        log->push_back("GET " + ToUtf8(address_));
        const auto found = bodies.find(address_);
        found404_ = found == bodies.end();
        body_ = found404_ ? "" : found->second;
        sent_ = 0;
        return true;
    }
    net::QueryStatus QueryInfo(net::NetHandle, std::uint32_t level, void* buffer,
                               std::uint32_t& length) override {
        std::string value = std::to_string(body_.size());
        if (level == net::kQueryRawHeaders) {
            value = (found404_ ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK") + std::string(1, 0) +
                    "Content-Length: " + value + std::string(2, 0);
        }
        if (value.size() >= length) return net::QueryStatus::Failed;
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        length = static_cast<std::uint32_t>(value.size());
        return net::QueryStatus::Ok;
    }
    bool ReadFile(net::NetHandle, void* buffer, std::uint32_t toRead,
                  std::uint32_t& read) override {
        read = static_cast<std::uint32_t>(std::min<std::size_t>(toRead, body_.size() - sent_));
        std::memcpy(buffer, body_.data() + sent_, read);
        sent_ += read;
        return true;
    }
    void Close(net::NetHandle) override {}
    bool PathExists(const std::u16string& path) override {
        struct stat info;
        return ::stat(LinuxPath(path).c_str(), &info) == 0;
    }
    void CreateFolder(const std::u16string& path) override {
        ::mkdir(LinuxPath(path).c_str(), 0700);
    }
    std::FILE* OpenOutputFile(const std::u16string& path) override {
        return std::fopen(LinuxPath(path).c_str(), "wb+");
    }

  private:
    static std::string LinuxPath(const std::u16string& path) {
        std::string out = ToUtf8(path);
        std::replace(out.begin(), out.end(), '\\', '/');
        return out;
    }
    net::NetHandle NewHandle() { return reinterpret_cast<net::NetHandle>(++lastHandle_); }

    // One download at a time: the run never overlaps two.
    std::uintptr_t lastHandle_ = 0;
    std::u16string server_, address_;
    std::string body_;
    bool found404_ = false;
    std::size_t sent_ = 0;
};

}  // namespace apptest
