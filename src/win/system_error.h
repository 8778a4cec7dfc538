#pragma once
// System error codes become the core's small enums here, and only here.

#include <cstdint>

#include "base/file_system.h"

namespace win {

// The kind of a GetLastError() code from a file call.
base::FileError FileErrorOf(std::uint32_t code);

// A failed file call: its kind and the code.
base::FileResult FileFailure(std::uint32_t code);

// 0 on success, else FileFailure(GetLastError()).
base::FileResult FileResultOf(bool done);

}  // namespace win
