#pragma once
// A NetApi over a scripted server. Bodies are served by address ("srv/dir/f.bin": host and
// object path, no port); any other address answers 404. `answers` scripts a line that drops,
// stalls or trickles, one answer a request. Its clock is the downloader's: arriving chunks and
// time-outs move it, as pauses do.

#include <algorithm>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fakes/manual_clock.h"
#include "net/net_api.h"

namespace net::testing {

// UTF-8, for logs.
inline std::string Utf8(const std::u16string& text) {
    return std::filesystem::path(text).string();
}

class FakeNetApi final : public NetApi {
  public:
    static constexpr auto kAll = std::string::npos;

    struct Answer {
        std::string head = "HTTP/1.1 200 OK";  // the status line
        std::string body;
        std::string length;           // Content-Length; empty: the body's size
        std::string range;            // Content-Range; empty: none
        std::string location;         // Location; empty: none
        std::string etag = "\"v1\"";  // ETag; empty: none
        std::string lastModified;     // Last-Modified; empty: none
        std::size_t cutAt = kAll;     // after this many body bytes the line drops ...
        bool stall = false;           // ... or goes silent: every wait times out (12002)
        std::size_t chunk = kAll;     // bytes that arrive at once
        std::uint64_t msPerChunk = 0;
    };

    // The script.
    std::map<std::u16string, std::string> bodies;
    std::uint64_t repeats = 1;          // each body is served this often, one copy a read
    std::string status, contentLength;  // when set, replace the status line, the body's length
    // The call that fails: "Open", "Connect", "OpenRequest", "Send", "Head" or "Length" (the
    // two queries), or "Read" at the end of the body.
    std::string failing;
    std::uint32_t failError = 12029;  // what LastError says after a scripted failure
    std::deque<Answer> answers;       // when not empty, each request takes the next one

    // Every call with its arguments (a run of equal reads once); only "GET <address>" lines
    // when requestsOnly.
    std::vector<std::string> log;
    bool requestsOnly = false;
    std::vector<std::u16string> requestHeaders;  // of each request sent
    fakes::ManualClock clock;

    NetHandle Open(const std::u16string& agent, std::uint32_t accessType) override {
        Note("Open " + Utf8(agent) + " " + std::to_string(accessType));
        return Failing("Open") ? nullptr : NewHandle();
    }
    NetHandle Connect(NetHandle internet, const std::u16string& server, std::uint16_t port,
                      std::uint32_t service) override {
        Note("Connect " + Name(internet) + " " + Utf8(server) + " " + std::to_string(port) + " " +
             std::to_string(service));
        host = server;
        return Failing("Connect") ? nullptr : NewHandle();
    }
    NetHandle OpenRequest(NetHandle connection, const std::u16string& verb,
                          const std::u16string& objectName, const std::u16string& version,
                          std::uint32_t flags) override {
        Note("OpenRequest " + Name(connection) + " " + Utf8(verb) + " " + Utf8(objectName) + " " +
             Utf8(version) + " " + std::to_string(flags));
        if (requestsOnly) log.push_back("GET " + Utf8(host + objectName));
        NextAnswer(host + objectName);
        return Failing("OpenRequest") ? nullptr : NewHandle();
    }
    bool SendRequest(NetHandle request, const std::u16string& headers,
                     std::uint32_t length) override {
        Note("Send " + Name(request) + " " + std::to_string(length));
        requestHeaders.push_back(headers);
        return !Failing("Send");
    }
    QueryStatus QueryInfo(NetHandle request, std::uint32_t level, void* buffer,
                          std::uint32_t& length) override {
        Note("Query " + Name(request) + " " + std::to_string(level) + " " + std::to_string(length));
        const bool head = level == kQueryRawHeaders;
        if (Failing(head ? "Head" : "Length")) return QueryStatus::Failed;
        std::string value =
            answer.length.empty() ? std::to_string(answer.body.size() * rounds) : answer.length;
        if (head) value = answer.head + std::string(2, '\0');  // with the end of the head
        if (level == kQueryContentRange) value = answer.range;
        if (level == kQueryLocation) value = answer.location;
        if (level == kQueryETag) value = answer.etag;
        if (level == kQueryLastModified) value = answer.lastModified;
        if (value.empty()) return QueryStatus::Failed;
        const bool fits = value.size() <= length;
        if (fits) std::memcpy(buffer, value.data(), value.size());
        length = static_cast<std::uint32_t>(value.size());
        return fits ? QueryStatus::Ok : QueryStatus::BufferTooSmall;
    }
    bool QueryDataAvailable(NetHandle, std::uint32_t& available) override {
        available = 0;
        const std::size_t end = End();
        if (sent == end) return answer.stall ? TimeOut() : !Failing("Read");
        if (answer.msPerChunk > receiveTimeout) return TimeOut();
        clock.steadyMs += answer.msPerChunk;
        const std::size_t inCopy = answer.body.size() - sent % answer.body.size();
        available = static_cast<std::uint32_t>(std::min({answer.chunk, end - sent, inCopy}));
        return true;
    }
    bool ReadFile(NetHandle request, void* buffer, std::uint32_t toRead,
                  std::uint32_t& read) override {
        const std::string line = "Read " + Name(request) + " " + std::to_string(toRead);
        if (log.empty() || log.back() != line) Note(line);
        // A read that asks for more than is there (fullReads) meets the drop or the stall itself.
        const std::size_t end = End();
        read = 0;
        if (sent == end) return answer.stall ? TimeOut() : !Failing("Read");
        const std::size_t at = sent % std::max<std::size_t>(answer.body.size(), 1);
        read = static_cast<std::uint32_t>(
            std::min<std::size_t>({toRead, answer.body.size() - at, end - sent}));
        std::memcpy(buffer, answer.body.data() + at, read);
        sent += read;
        return true;
    }
    void Close(NetHandle handle) override { Note("Close " + Name(handle)); }

    bool SetOption(NetHandle handle, std::uint32_t option, std::uint32_t value) override {
        Note("SetOption " + Name(handle) + " " + std::to_string(option) + " " +
             std::to_string(value));
        if (option == kOptionReceiveTimeout) receiveTimeout = value;
        return true;
    }
    std::uint32_t LastError() override { return lastError; }

  private:
    // Where the body drops or stalls, and a wait there that times out.
    std::size_t End() const { return std::min(answer.cutAt, answer.body.size() * rounds); }
    bool TimeOut() {
        clock.steadyMs += receiveTimeout;
        lastError = kErrorTimeout;
        return false;
    }
    void Note(std::string line) {
        if (!requestsOnly) log.push_back(std::move(line));
    }
    bool Failing(const std::string& call) {
        if (failing != call) return false;
        lastError = failError;
        return true;
    }
    void NextAnswer(const std::u16string& address) {
        sent = 0;
        rounds = 1;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
            return;
        }
        const auto found = bodies.find(address);
        answer = {};
        answer.head = !status.empty()         ? status
                      : found == bodies.end() ? "HTTP/1.1 404 Not Found"
                                              : "HTTP/1.1 200 OK";
        answer.body = found == bodies.end() ? "" : found->second;
        answer.length = contentLength;
        rounds = repeats;
    }
    NetHandle NewHandle() { return reinterpret_cast<NetHandle>(++handleCount); }
    static std::string Name(NetHandle handle) {
        return "h" + std::to_string(reinterpret_cast<std::uintptr_t>(handle));
    }

    std::uintptr_t handleCount = 0;
    std::u16string host;
    Answer answer;             // of the current request
    std::uint64_t rounds = 1;  // copies of answer.body served
    std::size_t sent = 0;      // body bytes read so far
    std::uint32_t receiveTimeout = 0;
    std::uint32_t lastError = 0;
};

}  // namespace net::testing
