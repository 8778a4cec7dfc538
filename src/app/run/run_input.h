#pragma once
// What a run starts from besides its launch string: where the updater itself lies.

#include <string>

#include "app/run/roles.h"

namespace app {

// The folder of the updater's own executable, without a trailing backslash; the whole path
// when it holds no backslash, empty when the system gives none.
std::u16string GetAppFolder(Roles& roles);

}  // namespace app
