#include "app/elevate/elevated_form.h"

#include "base/text.h"

namespace app {
namespace {

bool AllDigits(std::u16string_view text) {
    if (text.empty() || text.size() > 10) return false;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

std::uint64_t DecimalValue(std::u16string_view digits) {
    std::uint64_t value = 0;
    for (char16_t c : digits) value = value * 10 + static_cast<std::uint64_t>(c - u'0');
    return value;
}

// "UpdateTemp1700000000" or "UpdateTemp1700000000-2", as the first copy makes them.
bool IsWorkFolderName(std::u16string_view name) {
    constexpr std::u16string_view kPrefix = u"UpdateTemp";
    if (!name.starts_with(kPrefix)) return false;
    name.remove_prefix(kPrefix.size());
    const std::size_t dash = name.find(u'-');
    if (dash == std::u16string_view::npos) return AllDigits(name);
    return AllDigits(name.substr(0, dash)) && AllDigits(name.substr(dash + 1));
}

}  // namespace

std::u16string ElevatedParameters(const ElevatedArgs& args) {
    return std::u16string(kElevatedMarker) + u" " + base::DecimalText(args.firstCopyId) + u" \"" +
           args.workFolder + u"\"";
}

bool IsElevatedForm(std::u16string_view arguments) {
    return arguments.starts_with(kElevatedMarker) && (arguments.size() == kElevatedMarker.size() ||
                                                      arguments[kElevatedMarker.size()] == u' ');
}

std::optional<ElevatedArgs> ReadElevatedForm(std::u16string_view arguments) {
    if (!IsElevatedForm(arguments)) return std::nullopt;
    arguments.remove_prefix(kElevatedMarker.size());
    if (!arguments.starts_with(u' ')) return std::nullopt;
    arguments.remove_prefix(1);
    const std::size_t blank = arguments.find(u' ');
    if (blank == std::u16string_view::npos || !AllDigits(arguments.substr(0, blank))) {
        return std::nullopt;
    }
    const std::uint64_t id = DecimalValue(arguments.substr(0, blank));
    std::u16string_view folder = arguments.substr(blank + 1);
    if (id == 0 || id > 0xffffffffu || folder.size() < 3 || !folder.starts_with(u'"') ||
        !folder.ends_with(u"\\\"")) {
        return std::nullopt;
    }
    folder = folder.substr(1, folder.size() - 2);
    if (folder.find(u'"') != std::u16string_view::npos) return std::nullopt;
    const std::size_t slash = folder.rfind(u'\\', folder.size() - 2);
    if (slash == std::u16string_view::npos ||
        !IsWorkFolderName(folder.substr(slash + 1, folder.size() - slash - 2))) {
        return std::nullopt;
    }
    return ElevatedArgs{static_cast<std::uint32_t>(id), std::u16string(folder)};
}

}  // namespace app
