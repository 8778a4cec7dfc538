#include "app/run/launch_string.h"

#include "app/run/number_text.h"

namespace app {
namespace {

// [sign] digits, and with allowPoint [. digits] too, with blanks around it; nothing else.
bool IsWholeNumber(std::u16string_view text, bool allowPoint) {
    while (!text.empty() && text.front() <= u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ') text.remove_suffix(1);
    if (!text.empty() && (text.front() == u'+' || text.front() == u'-')) text.remove_prefix(1);
    bool digits = false, point = false;
    for (const char16_t c : text) {
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if (c == u'.' && allowPoint && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

}  // namespace

std::u16string LaunchStringOf(const std::u16string& commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        // A quoted name ends at the next quotation mark, whatever follows it.
        i = commandLine.find(u'"', 1);
        i = i == std::u16string::npos ? commandLine.size() : i + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] > u' ') ++i;
    }
    while (i < commandLine.size() && commandLine[i] <= u' ') ++i;
    return commandLine.substr(i);
}

LaunchArgs SplitLaunchString(const std::u16string& launchString) {
    LaunchArgs fields;
    std::size_t start = 0;
    for (std::size_t hash = launchString.find(u'#'); hash != std::u16string::npos;
         hash = launchString.find(u'#', start)) {
        fields.push_back(launchString.substr(start, hash - start));
        start = hash + 1;
    }
    fields.push_back(launchString.substr(start));
    return fields;
}

std::optional<LaunchString> ReadLaunchString(const std::u16string& launchString) {
    if (launchString.empty()) return std::nullopt;
    const LaunchArgs fields = SplitLaunchString(launchString);
    if (fields.size() < 3) return std::nullopt;
    if (fields.size() > 3 &&
        (!IsWholeNumber(fields[0], true) || !IsWholeNumber(fields[1], false))) {
        return std::nullopt;
    }
    return LaunchString{ReadDecimalPrefix(fields[0]), ReadInt32Prefix(fields[1]), fields[2]};
}

LaunchOptions OptionsOf(const std::u16string& launchString) {
    const LaunchArgs fields = SplitLaunchString(launchString);
    return fields.size() > 3 ? ReadLaunchOptions(fields[3]) : LaunchOptions{};
}

}  // namespace app
