#include "app/work_folder/run_lock.h"

#include <cstdint>

namespace app {

std::u16string RunLockName(std::u16string_view appFolder) {
    while (!appFolder.empty() && (appFolder.back() == u'\\' || appFolder.back() == u'/')) {
        appFolder.remove_suffix(1);
    }
    // FNV-1a over the UTF-16 units, ASCII letters folded, "/" read as "\".
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (char16_t unit : appFolder) {
        if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
        if (unit == u'/') unit = u'\\';
        hash = (hash ^ unit) * 0x100000001b3ull;
    }
    std::u16string name = u"Local\\UpdaterRun-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += u"0123456789abcdef"[(hash >> shift) & 0xF];
    }
    return name;
}

}  // namespace app
