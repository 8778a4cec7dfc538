#include "app/work_folder/make.h"

#include <cstdint>

#include "base/text.h"

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

std::u16string MakeFreshWorkFolder(Platform& platform) {
    const std::u16string plain = MakeWorkFolder(platform);
    const std::u16string base = plain.substr(0, plain.size() - 1);
    // Made rather than looked for: two runs that look at the same moment cannot both win.
    for (int suffix = 1; suffix <= kMostWorkFolderSuffixes; ++suffix) {
        const std::u16string name = suffix == 1 ? base : base + u"-" + base::DecimalText(suffix);
        const std::uint32_t error = platform.MakeFolder(name);
        if (error == 0) return name + u"\\";
        if (error != kErrorAlreadyExists) break;
    }
    return plain;
}

}  // namespace app
