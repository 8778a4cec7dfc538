#include "app/work_folder/make.h"

#include <cstdint>

#include "base/text.h"

namespace app {

std::u16string GetRunNumber(Roles& roles) {
    auto value =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(roles.clock.CalendarSeconds()));
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

std::u16string MakeWorkFolder(Roles& roles) {
    return roles.processes.TempPath() + u"UpdateTemp" + GetRunNumber(roles) + u"\\";
}

std::optional<std::u16string> MakeFreshWorkFolder(Roles& roles) {
    const std::u16string plain = MakeWorkFolder(roles);
    const std::u16string base = plain.substr(0, plain.size() - 1);
    // Made rather than looked for: two runs that look at the same moment cannot both win.
    base::FileResult made;
    for (int suffix = 1; suffix <= kMostWorkFolderSuffixes; ++suffix) {
        const std::u16string name = suffix == 1 ? base : base + u"-" + base::DecimalText(suffix);
        made = roles.files.MakeFolder(name);
        if (made.Ok()) return name + u"\\";
        if (!made.Is(base::FileError::Exists)) break;
    }
    roles.log.Write(u"no fresh work folder could be made at " + base + u": " + made.Describe());
    return std::nullopt;
}

}  // namespace app
