#include "app/work_folder/cleanup.h"

#include <string>

#include "base/text.h"

namespace app {
namespace {

constexpr std::u16string_view kPrefix = u"UpdateTemp";

bool AllDigits(std::u16string_view text) {
    if (text.empty()) return false;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

}  // namespace

bool IsWorkFolderName(std::u16string_view name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) return false;
    const std::u16string_view rest = name.substr(kPrefix.size());
    const std::size_t dash = rest.find(u'-');
    if (dash == std::u16string_view::npos) return AllDigits(rest);
    return AllDigits(rest.substr(0, dash)) && AllDigits(rest.substr(dash + 1));
}

void RemoveOldWorkFolders(Roles& roles) {
    const std::u16string temp = roles.processes.TempPath();
    // Without a temporary directory the names would be relative to wherever the run started.
    if (temp.empty()) return;
    const std::int64_t now = roles.clock.CalendarSeconds();
    for (const base::FolderAge& folder : roles.files.ListFolders(temp, kPrefix)) {
        if (!IsWorkFolderName(folder.name)) continue;
        if (now - folder.lastWriteSeconds <= kKeepWorkFoldersSeconds) continue;
        const std::u16string path = temp + folder.name;
        const base::FileResult removed = roles.files.RemoveTree(path);
        roles.log.Write(removed.Ok() ? u"removed old work folder " + path
                                     : u"could not remove old work folder " + path + u": error " +
                                           base::DecimalText(removed.systemCode));
    }
}

}  // namespace app
