#include "app/manifest/package_name.h"

#include <array>
#include <vector>

#include "base/text.h"

namespace app {
namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool EqualsNoCase(std::u16string_view text, std::u16string_view upper) {
    return base::EqualsIgnoringAsciiCase(text, upper);
}

// The components of a name that name something: "." and empty ones (from "a\\b") do not.
std::vector<std::u16string_view> NamedComponents(std::u16string_view name) {
    std::vector<std::u16string_view> components;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::u16string_view component = name.substr(start, end - start);
        if (!component.empty() && component != u".") components.push_back(component);
        start = end + 1;
    }
    return components;
}

// "UPDATE~1.SIG": a short alias Windows may give a long name of the run's own, such as
// update.xml.sig, which the package would then overwrite.
bool LooksLikeShortAlias(std::u16string_view component) {
    const std::size_t dot = component.rfind(u'.');
    const std::size_t tilde = component.rfind(u'~', dot);
    if (dot == std::u16string_view::npos || tilde == std::u16string_view::npos ||
        tilde + 1 == dot) {
        return false;
    }
    for (std::size_t i = tilde + 1; i < dot; ++i) {
        if (component[i] < u'0' || component[i] > u'9') return false;
    }
    const std::u16string_view extension = component.substr(dot + 1);
    return EqualsNoCase(extension, u"XML") || EqualsNoCase(extension, u"SIG") ||
           EqualsNoCase(extension, u"LOG");
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

bool IsRunFileName(std::u16string_view name) {
    const std::vector<std::u16string_view> components = NamedComponents(name);
    if (components.size() != 1) return components.empty();
    const std::u16string_view only = components.front();
    return EqualsNoCase(only, u"UPDATE.XML") || EqualsNoCase(only, u"UPDATE.XML.SIG") ||
           EqualsNoCase(only, u"UPDATE.LOG") || LooksLikeShortAlias(only);
}

bool IsRunTargetInside(std::u16string_view run) {
    if (run.empty() || IsSeparator(run.front()) || run.find(u':') != std::u16string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= run.size()) {
        std::size_t end = start;
        while (end < run.size() && !IsSeparator(run[end])) ++end;
        const std::u16string_view component = run.substr(start, end - start);
        if (component.empty() || ClimbsUp(component) || NamesDevice(component)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace app
