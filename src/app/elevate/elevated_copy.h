#pragma once
// The second copy of the updater, started through the elevation prompt to run the apply step
// for a folder the first copy may not write. It is told only where the work folder is and
// which process asked; everything else it reads and checks again itself.

#include <cstdint>
#include <string_view>

#include "app/run/roles.h"

namespace app {

// The whole elevated run over the arguments after the program's name; returns the exit code,
// an ElevatedEnd.
std::uint32_t RunElevatedCopy(std::u16string_view arguments, Roles& roles);

}  // namespace app
