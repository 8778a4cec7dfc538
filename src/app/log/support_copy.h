#pragma once
// Copies of what the run read from memory, kept in the work folder for support staff.

#include <string>
#include <string_view>

#include "app/run/roles.h"

namespace app {

// Writes bytes into path (update.xml, update.xml.sig). The run does not depend on the copy: a
// copy that cannot be written is only logged.
void KeepSupportCopy(Roles& roles, const std::u16string& path, std::string_view bytes);

}  // namespace app
