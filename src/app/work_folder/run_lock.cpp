#include "app/work_folder/run_lock.h"

#include <cstdint>

#include "base/text.h"

namespace app {

std::u16string RunLockName(std::u16string_view appFolder) {
    while (!appFolder.empty() && (appFolder.back() == u'\\' || appFolder.back() == u'/')) {
        appFolder.remove_suffix(1);
    }
    // FNV-1a over the UTF-16 units, ASCII letters folded, "/" read as "\".
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char16_t unit : appFolder) {
        unit = base::AsciiUpper(unit);
        if (unit == u'/') unit = u'\\';
        hash = (hash ^ unit) * 0x100000001b3ull;
    }
    return u"Local\\UpdaterRun-" + base::HexDigits(hash, 16);
}

}  // namespace app
