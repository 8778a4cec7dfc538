#pragma once
// A NetApi over a scripted server and a private Linux folder. Bodies are served by address
// ("srv/dir/f.bin": host and object path, no port); any other address answers 404. Windows
// paths map into the folder ("C:\w\f" becomes <root>/C:/w/f); absolute Linux paths stay.

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "net/net_api.h"

namespace net::testing {

// UTF-8, for logs and Linux paths.
inline std::string Utf8(const std::u16string& text) {
    return std::filesystem::path(text).string();
}

class FakeNetApi final : public NetApi {
  public:
    FakeNetApi() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fakenet-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        std::filesystem::create_directory(root / "C:");
    }
    ~FakeNetApi() override { std::filesystem::remove_all(root); }

    // The script.
    std::map<std::u16string, std::string> bodies;
    std::uint64_t repeats = 1;          // each body is served this often, one copy a read
    std::string status, contentLength;  // when set, replace the status line, the body's length
    // The call that fails: "Open", "Connect", "OpenRequest", "Send", "Head" or "Length" (the
    // two queries), or "Read" at the end of the body.
    std::string failing;
    // Addresses answered with 302 and this Location instead of a body.
    std::map<std::u16string, std::string> redirects;

    // Every call with its arguments (a run of equal reads once); only "GET <address>" lines
    // when requestsOnly.
    std::vector<std::string> log;
    bool requestsOnly = false;
    std::filesystem::path root;

    std::filesystem::path Linux(const std::u16string& windowsPath) const {
        std::string mapped = Utf8(windowsPath);
        std::replace(mapped.begin(), mapped.end(), '\\', '/');
        return root / mapped;
    }

    NetHandle Open(const std::u16string& agent, std::uint32_t accessType) override {
        Note("Open " + Utf8(agent) + " " + std::to_string(accessType));
        return failing == "Open" ? nullptr : NewHandle();
    }
    NetHandle Connect(NetHandle internet, const std::u16string& server, std::uint16_t port,
                      std::uint32_t service) override {
        Note("Connect " + Name(internet) + " " + Utf8(server) + " " + std::to_string(port) + " " +
             std::to_string(service));
        host = server;
        return failing == "Connect" ? nullptr : NewHandle();
    }
    NetHandle OpenRequest(NetHandle connection, const std::u16string& verb,
                          const std::u16string& objectName, const std::u16string& version,
                          std::uint32_t flags) override {
        Note("OpenRequest " + Name(connection) + " " + Utf8(verb) + " " + Utf8(objectName) + " " +
             Utf8(version) + " " + std::to_string(flags));
        if (requestsOnly) log.push_back("GET " + Utf8(host + objectName));
        const auto found = bodies.find(host + objectName);
        const auto redirect = redirects.find(host + objectName);
        location = redirect == redirects.end() ? "" : redirect->second;
        found404 = found == bodies.end();
        body = found404 ? "" : found->second;
        offset = 0;
        roundsLeft = repeats;
        return failing == "OpenRequest" ? nullptr : NewHandle();
    }
    bool SendRequest(NetHandle request, const std::u16string&, std::uint32_t length) override {
        Note("Send " + Name(request) + " " + std::to_string(length));
        return failing != "Send";
    }
    QueryStatus QueryInfo(NetHandle request, std::uint32_t level, void* buffer,
                          std::uint32_t& length) override {
        Note("Query " + Name(request) + " " + std::to_string(level) + " " + std::to_string(length));
        const bool head = level == kQueryRawHeaders;
        if (failing == (head ? "Head" : "Length")) return QueryStatus::Failed;
        std::string value =
            contentLength.empty() ? std::to_string(body.size() * repeats) : contentLength;
        if (level == kQueryLocation) value = location;
        if (head) {
            value = !status.empty()     ? status
                    : !location.empty() ? "HTTP/1.1 302 Found"
                    : found404          ? "HTTP/1.1 404 Not Found"
                                        : "HTTP/1.1 200 OK";
            value += std::string(2, '\0');  // the end of the head
        }
        const bool fits = value.size() <= length;
        if (fits) std::memcpy(buffer, value.data(), value.size());
        length = static_cast<std::uint32_t>(value.size());
        return fits ? QueryStatus::Ok : QueryStatus::BufferTooSmall;
    }
    bool ReadFile(NetHandle request, void* buffer, std::uint32_t toRead,
                  std::uint32_t& read) override {
        const std::string line = "Read " + Name(request) + " " + std::to_string(toRead);
        if (log.empty() || log.back() != line) Note(line);
        if (offset == body.size() && roundsLeft > 1) offset = 0, --roundsLeft;
        read = static_cast<std::uint32_t>(std::min<std::size_t>(toRead, body.size() - offset));
        std::memcpy(buffer, body.data() + offset, read);
        offset += read;
        return read != 0 || failing != "Read";
    }
    void Close(NetHandle handle) override { Note("Close " + Name(handle)); }

    bool PathExists(const std::u16string& path) override {
        Note("Exists " + Utf8(path));
        return std::filesystem::exists(Linux(path));
    }
    void CreateFolder(const std::u16string& path) override {
        Note("CreateFolder " + Utf8(path));
        std::error_code ignored;
        std::filesystem::create_directory(Linux(path), ignored);
    }
    std::FILE* OpenOutputFile(const std::u16string& path) override {
        Note("OpenFile " + Utf8(path));
        return std::fopen(Linux(path).c_str(), "wb+");
    }

  private:
    void Note(std::string line) {
        if (!requestsOnly) log.push_back(std::move(line));
    }
    NetHandle NewHandle() { return reinterpret_cast<NetHandle>(++handleCount); }
    static std::string Name(NetHandle handle) {
        return "h" + std::to_string(reinterpret_cast<std::uintptr_t>(handle));
    }

    std::uintptr_t handleCount = 0;
    std::u16string host;
    std::string body;  // of the current request
    std::string location;
    bool found404 = false;
    std::size_t offset = 0;
    std::uint64_t roundsLeft = 0;
};

}  // namespace net::testing
