#include "base/file_system.h"

#include "base/text.h"

namespace base {

std::u16string_view FileErrorName(FileError error) {
    switch (error) {
        case FileError::None:
            return u"done";
        case FileError::NotFound:
            return u"not found";
        case FileError::Exists:
            return u"exists";
        case FileError::InUse:
            return u"in use";
        case FileError::DiskFull:
            return u"disk full";
        case FileError::AccessDenied:
            return u"access denied";
        case FileError::NotEmpty:
            return u"not empty";
        case FileError::Link:
            return u"a link";
        case FileError::Other:
            break;
    }
    return u"failed";
}

std::u16string FileResult::Describe() const {
    std::u16string text(FileErrorName(error));
    if (systemCode != 0) text += u" (error " + DecimalText(systemCode) + u")";
    return text;
}

FileResult MakeFoldersAbove(FileSystem& files, const std::u16string& path,
                            std::u16string_view linkFree) {
    while (linkFree.ends_with(u'\\')) linkFree.remove_suffix(1);
    const auto belowLinkFree = [&](std::size_t level) {
        return !linkFree.empty() && level > linkFree.size() && path.starts_with(linkFree) &&
               path[linkFree.size()] == u'\\';
    };
    // Every prefix up to a backslash is a folder level, but a drive ("C:") and the server and
    // share of a UNC path ("\\srv\share") are not folders to make.
    std::size_t from = 0;
    if (path.starts_with(u"\\\\")) {
        from = path.find(u'\\', 2);
        if (from != std::u16string::npos) from = path.find(u'\\', from + 1);
        if (from == std::u16string::npos) return Succeeded();
    }
    std::vector<std::size_t> levels;
    for (std::size_t at = path.find(u'\\', from + 1); at != std::u16string::npos;
         at = path.find(u'\\', at + 1)) {
        if (path[at - 1] != u':') levels.push_back(at);
    }
    // From the innermost level out to the first that is there.
    std::size_t missing = levels.size();
    for (; missing > 0; --missing) {
        const EntryKind kind = files.KindOf(path.substr(0, levels[missing - 1]));
        if (kind == EntryKind::Link && belowLinkFree(levels[missing - 1])) {
            return {FileError::Link, 0};
        }
        if (kind == EntryKind::Link) break;
        // As Windows answers a path that goes through a file: ERROR_PATH_NOT_FOUND.
        if (kind == EntryKind::File) return {FileError::NotFound, 3};
        if (kind == EntryKind::Folder) break;
    }
    for (; missing < levels.size(); ++missing) {
        const FileResult made = files.MakeFolder(path.substr(0, levels[missing]));
        if (!made.Ok() && !made.Is(FileError::Exists)) return made;
    }
    return Succeeded();
}

}  // namespace base
