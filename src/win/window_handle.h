#pragma once
// Window handles as the host passes them: a signed 32-bit number, sign-extended to a handle.

#include <windows.h>

#include <cstdint>

namespace win {

inline HWND WindowOf(std::int32_t handle) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
}

}  // namespace win
