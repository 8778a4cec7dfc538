#include "app/run/run_input.h"

namespace app {

std::u16string GetAppFolder(Roles& roles) {
    std::u16string path = roles.processes.ModulePath();
    const std::size_t slash = path.rfind(u'\\');
    if (slash != std::u16string::npos) path.resize(slash);
    return path;
}

}  // namespace app
