#include "app/run/launch_options.h"

#include "base/text.h"

namespace app {
namespace {

std::u16string_view Trimmed(std::u16string_view word) {
    while (!word.empty() && word.front() <= u' ') word.remove_prefix(1);
    while (!word.empty() && word.back() <= u' ') word.remove_suffix(1);
    return word;
}

}  // namespace

LaunchOptions ReadLaunchOptions(std::u16string_view field) {
    LaunchOptions options;
    options.given = true;
    while (true) {
        const std::size_t comma = field.find(u',');
        const std::u16string_view word = Trimmed(field.substr(0, comma));
        if (base::EqualsIgnoringAsciiCase(word, u"silent")) {
            options.silent = true;
        } else if (base::EqualsIgnoringAsciiCase(word, u"check")) {
            options.check = true;
        } else if (!word.empty()) {
            options.unknown.emplace_back(word);
        }
        if (comma == std::u16string_view::npos) break;
        field.remove_prefix(comma + 1);
    }
    if (options.check) options.silent = false;
    return options;
}

}  // namespace app
