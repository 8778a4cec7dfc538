#include "app/work_folder.h"

#include <cstdint>

namespace app {

std::u16string GetRunNumber(Platform& platform) {
    auto value = static_cast<std::uint32_t>(static_cast<std::uint64_t>(platform.NowSeconds()));
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

std::u16string MakeWorkFolder(Platform& platform) {
    return platform.TempPath() + u"UpdateTemp" + GetRunNumber(platform) + u"\\";
}

std::u16string GetAppFolder(Platform& platform) {
    std::u16string path = platform.ModulePath();
    const std::size_t slash = path.rfind(u'\\');
    if (slash != std::u16string::npos) path.resize(slash);
    return path;
}

}  // namespace app
