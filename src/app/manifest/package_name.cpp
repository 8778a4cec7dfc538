#include "app/manifest/package_name.h"

#include <array>

namespace app {
namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsNoCase(std::u16string_view text, std::u16string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (Upper(text[i]) != upper[i]) return false;
    }
    return true;
}

// Windows drops trailing dots and blanks from a path component, so ".. " or "..." can act as
// "..": any component made only of dots and blanks that holds two dots counts as a climb.
bool ClimbsUp(std::u16string_view component) {
    if (component.find(u"..") == std::u16string_view::npos) return false;
    return component.find_first_not_of(u". ") == std::u16string_view::npos;
}

// "NUL", "con.txt", "Com1.7z": Windows opens the device whatever the folder or extension, so
// a download "succeeds" into the null device or a serial port.
bool NamesDevice(std::u16string_view component) {
    std::u16string_view base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
    static constexpr std::array<std::u16string_view, 6> kDevices = {u"CON", u"PRN",    u"AUX",
                                                                    u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : kDevices) {
        if (EqualsNoCase(base, device)) return true;
    }
    // COM1-9 and LPT1-9, with the superscript digits Windows counts as well.
    if (base.size() != 4 ||
        !(EqualsNoCase(base.substr(0, 3), u"COM") || EqualsNoCase(base.substr(0, 3), u"LPT"))) {
        return false;
    }
    const char16_t digit = base[3];
    return (digit >= u'1' && digit <= u'9') || digit == u'¹' || digit == u'²' || digit == u'³';
}

// A name Windows would change or refuse: a control character anywhere, or a trailing dot or
// blank that Windows drops ("." alone is the folder itself).
bool IsMangled(std::u16string_view component) {
    for (char16_t c : component) {
        if (c < u' ' || c == u'\x7f') return true;
    }
    if (component.empty() || component == u".") return false;
    return component.back() == u'.' || component.back() == u' ';
}

}  // namespace

bool StaysInWorkFolder(std::u16string_view name) {
    if (!name.empty() && IsSeparator(name.front())) return false;
    if (name.find(u':') != std::u16string_view::npos) return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::u16string_view component = name.substr(start, end - start);
        if (ClimbsUp(component) || NamesDevice(component) || IsMangled(component)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace app
