#pragma once
// A kernel handle closed exactly once, when its owner goes.

#include <windows.h>

#include <utility>

namespace win {

class OwnedHandle {
  public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE owned) : handle(owned) {}
    OwnedHandle(OwnedHandle&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle = std::exchange(other.handle, nullptr);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Close(); }

    HANDLE Get() const { return handle; }
    // Gives the handle up without closing it.
    HANDLE Release() { return std::exchange(handle, nullptr); }
    // Both "no handle" values the API hands out count as none.
    explicit operator bool() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

  private:
    void Close() {
        if (*this) CloseHandle(handle);
        handle = nullptr;
    }

    HANDLE handle = nullptr;
};

}  // namespace win
