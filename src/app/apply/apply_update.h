#pragma once
// The downloaded package put to use once the host has been told: an installer is started; an
// archive is unpacked into a staging folder and swapped into the application folder.

#include <string>

#include "app/run/roles.h"
#include "app/run/run_input.h"

namespace app {

void StartInstaller(Roles& roles, const std::u16string& packagePath);

// packagePath is in the work folder. A failed unpack or swap leaves the application
// folder as it was. True when the archive was unpacked and put in place.
bool UnpackAndSwap(Roles& roles, const RunInput& input, const std::u16string& packagePath);

}  // namespace app
