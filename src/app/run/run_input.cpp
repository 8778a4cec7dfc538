#include "app/run/run_input.h"

namespace app {

std::u16string AppFolderOf(std::u16string modulePath) {
    const std::size_t slash = modulePath.rfind(u'\\');
    if (slash != std::u16string::npos) modulePath.resize(slash);
    return modulePath;
}

}  // namespace app
