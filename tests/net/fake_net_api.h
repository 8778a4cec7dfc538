#pragma once
// A scripted NetApi: answers as told, logs every call, and maps Windows paths such as
// C:\w\f.bin into a Linux folder ("\" becomes "/"), so that the disk can be inspected.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "net/net_api.h"

namespace net::testing {

inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

class FakeNetApi : public NetApi {
  public:
    explicit FakeNetApi(std::filesystem::path root) : root(std::move(root)) {}

    // The script.
    bool openFails = false, connectFails = false, openRequestFails = false, sendFails = false;
    bool headQueryFails = false;
    std::string rawHead = std::string("HTTP/1.1 200 OK\0Server: fake\0\0", 31);
    std::optional<std::string> contentLength = "10";
    std::vector<std::string> chunks{"0123456789"};
    std::string repeatedChunk;  // served repeatsLeft times after the chunks
    std::uint64_t repeatsLeft = 0;
    bool readFailsAtEnd = false;
    std::optional<std::filesystem::path> outputOverride;  // e.g. /dev/full

    std::vector<std::string> log;

    std::filesystem::path Linux(const std::u16string& windowsPath) const {
        std::string mapped = Narrow(windowsPath);
        std::replace(mapped.begin(), mapped.end(), '\\', '/');
        return root / mapped;
    }

    NetHandle Open(const std::u16string& agent, std::uint32_t accessType) override {
        log.push_back("Open " + Narrow(agent) + " " + std::to_string(accessType));
        nextChunk = 0;  // each download reads the scripted body afresh
        return openFails ? nullptr : NewHandle();
    }
    NetHandle Connect(NetHandle internet, const std::u16string& server, std::uint16_t port,
                      std::uint32_t service) override {
        log.push_back("Connect " + Name(internet) + " " + Narrow(server) + " " +
                      std::to_string(port) + " " + std::to_string(service));
        return connectFails ? nullptr : NewHandle();
    }
    NetHandle OpenRequest(NetHandle connection, const std::u16string& verb,
                          const std::u16string& objectName, const std::u16string& version,
                          std::uint32_t flags) override {
        log.push_back("OpenRequest " + Name(connection) + " " + Narrow(verb) + " " +
                      Narrow(objectName) + " " + Narrow(version) + " " + std::to_string(flags));
        return openRequestFails ? nullptr : NewHandle();
    }
    bool SendRequest(NetHandle request, const std::u16string& headers,
                     std::uint32_t headersLength) override {
        sentHeaders = headers;
        log.push_back("Send " + Name(request) + " " + std::to_string(headersLength));
        return !sendFails;
    }
    QueryStatus QueryInfo(NetHandle request, std::uint32_t infoLevel, void* buffer,
                          std::uint32_t& length) override {
        log.push_back("Query " + Name(request) + " " + std::to_string(infoLevel) + " " +
                      std::to_string(length));
        std::string value;
        if (infoLevel == kQueryRawHeaders) {
            if (headQueryFails) return QueryStatus::Failed;
            value = rawHead;
        } else {
            if (!contentLength) return QueryStatus::Failed;
            value = *contentLength;
        }
        if (value.size() > length) {
            length = static_cast<std::uint32_t>(value.size());
            return QueryStatus::BufferTooSmall;
        }
        std::memcpy(buffer, value.data(), value.size());
        length = static_cast<std::uint32_t>(value.size());
        return QueryStatus::Ok;
    }
    bool ReadFile(NetHandle request, void* buffer, std::uint32_t toRead,
                  std::uint32_t& read) override {
        if (log.empty() || log.back() != "Read " + Name(request) + " " + std::to_string(toRead)) {
            log.push_back("Read " + Name(request) + " " + std::to_string(toRead));
        }
        read = 0;
        if (nextChunk == chunks.size() && repeatsLeft == 0) return !readFailsAtEnd;
        const std::string& chunk =
            nextChunk < chunks.size() ? chunks[nextChunk++] : (--repeatsLeft, repeatedChunk);
        read = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.size(), toRead));
        std::memcpy(buffer, chunk.data(), read);
        return true;
    }
    void Close(NetHandle handle) override { log.push_back("Close " + Name(handle)); }

    bool PathExists(const std::u16string& path) override {
        log.push_back("Exists " + Narrow(path));
        return std::filesystem::exists(Linux(path));
    }
    void CreateFolder(const std::u16string& path) override {
        log.push_back("CreateFolder " + Narrow(path));
        std::error_code ignored;
        std::filesystem::create_directory(Linux(path), ignored);
    }
    std::FILE* OpenOutputFile(const std::u16string& path) override {
        log.push_back("OpenFile " + Narrow(path));
        return std::fopen((outputOverride ? *outputOverride : Linux(path)).c_str(), "wb+");
    }

    std::u16string sentHeaders;

  private:
    NetHandle NewHandle() { return reinterpret_cast<NetHandle>(++handleCount); }
    static std::string Name(NetHandle handle) {
        return "h" + std::to_string(reinterpret_cast<std::uintptr_t>(handle));
    }

    std::filesystem::path root;
    std::uintptr_t handleCount = 0;
    std::size_t nextChunk = 0;
};

}  // namespace net::testing
