#include "app/package_name.h"

namespace app {
namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// Windows drops trailing dots and blanks from a path component, so ".. " or "..." can act as
// "..": any component made only of dots and blanks that holds two dots counts as a climb.
bool ClimbsUp(std::u16string_view component) {
    if (component.find(u"..") == std::u16string_view::npos) return false;
    return component.find_first_not_of(u". ") == std::u16string_view::npos;
}

}  // namespace

bool StaysInWorkFolder(std::u16string_view name) {
    if (!name.empty() && IsSeparator(name.front())) return false;
    if (name.find(u':') != std::u16string_view::npos) return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (ClimbsUp(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace app
