#pragma once
// Sole owner of one handle of the seam; closes it through the seam exactly once.

#include <utility>

#include "net/net_api.h"

namespace net {

class OwnedNetHandle {
  public:
    explicit OwnedNetHandle(NetApi& netApi) : api(&netApi) {}
    ~OwnedNetHandle() { Reset(); }
    OwnedNetHandle(const OwnedNetHandle&) = delete;
    OwnedNetHandle& operator=(const OwnedNetHandle&) = delete;

    NetHandle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

    // Takes ownership of a freshly opened handle (null allowed) and returns it.
    NetHandle Adopt(NetHandle opened) {
        Reset();
        handle = opened;
        return handle;
    }

    void Reset() {
        // Cleared before the call so that a handle is never closed twice.
        if (NetHandle old = std::exchange(handle, nullptr)) api->Close(old);
    }

  private:
    NetApi* api;
    NetHandle handle = nullptr;
};

}  // namespace net
