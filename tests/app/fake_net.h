#pragma once
// A NetApi that serves bodies from a table of addresses, and writes files under a Linux
// folder: Windows paths become Linux paths by turning "\" into "/".

#include <map>
#include <string>
#include <vector>

#include "net/net_api.h"

namespace apptest {

std::string ToUtf8(const std::u16string& text);

class FakeNet final : public net::NetApi {
  public:
    struct Response {
        std::string statusLine = "HTTP/1.1 200 OK";
        std::string body;
    };

    // Served for "http://" + key; every other address answers 404.
    std::map<std::u16string, Response> responses;
    // "GET " + server + object path of every request sent, in order; shared with the
    // platform fake so that tests see downloads among the other calls.
    std::vector<std::string>* log = nullptr;

    net::NetHandle Open(const std::u16string& agent, std::uint32_t accessType) override;
    net::NetHandle Connect(net::NetHandle internet, const std::u16string& server,
                           std::uint16_t port, std::uint32_t service) override;
    net::NetHandle OpenRequest(net::NetHandle connection, const std::u16string& verb,
                               const std::u16string& objectName, const std::u16string& version,
                               std::uint32_t flags) override;
    bool SendRequest(net::NetHandle request, const std::u16string& headers,
                     std::uint32_t headersLength) override;
    net::QueryStatus QueryInfo(net::NetHandle request, std::uint32_t infoLevel, void* buffer,
                               std::uint32_t& length) override;
    bool ReadFile(net::NetHandle request, void* buffer, std::uint32_t toRead,
                  std::uint32_t& read) override;
    void Close(net::NetHandle) override {}
    bool PathExists(const std::u16string& path) override;
    void CreateFolder(const std::u16string& path) override;
    std::FILE* OpenOutputFile(const std::u16string& path) override;

  private:
    struct Request {
        std::u16string address;
        Response response;
        std::size_t sent = 0;
    };
    net::NetHandle NewHandle() { return reinterpret_cast<net::NetHandle>(++lastHandle); }

    std::uintptr_t lastHandle = 0;
    std::map<net::NetHandle, std::u16string> servers;
    std::map<net::NetHandle, Request> requests;
};

}  // namespace apptest
