#pragma once
// The download seam over the real WinINet calls.

#include "net/net_api.h"

namespace win {

class WinNetApi final : public net::NetApi {
  public:
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
    void Close(net::NetHandle handle) override;

    // --- time limits ---
    bool SetOption(net::NetHandle handle, std::uint32_t option, std::uint32_t value) override;
    bool QueryDataAvailable(net::NetHandle request, std::uint32_t& available) override;
    std::uint32_t LastError() override;
};

}  // namespace win
