#pragma once
// What a run starts from: the launch string and the two folders it works between.

#include <string>

#include "app/run/launch_string.h"

namespace app {

struct RunInput {
    LaunchString launch;
    LaunchOptions options;
    // The updater's own folder, without a closing backslash; empty when the system gives none.
    std::u16string appFolder;
    // The run's own folder under the temporary directory, with its closing backslash.
    std::u16string workFolder;
};

// The folder of the updater's own executable (modulePath), without a trailing backslash; the
// whole path when it holds no backslash, empty when it is empty.
std::u16string AppFolderOf(std::u16string modulePath);

}  // namespace app
