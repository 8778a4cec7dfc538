#include "win/work_folders_win.h"

#include <windows.h>

namespace win {
namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Long paths, so that a deep tree below the temporary directory can still be removed.
std::u16string Extended(const std::u16string& path) {
    if (path.size() < 2 || path[1] != u':') return path;
    return u"\\\\?\\" + path;
}

// FILETIME counts 100 ns steps since 1601-01-01.
std::int64_t UnixSeconds(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10'000'000) - 11'644'473'600LL;
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

std::uint32_t MakeFolder(const std::u16string& path) {
    return CreateDirectoryW(Wide(path), nullptr) ? 0 : GetLastError();
}

std::uint32_t RemoveFile(const std::u16string& path) {
    if (DeleteFileW(Wide(path))) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
}

std::vector<app::FolderAge> ListWorkFolders(const std::u16string& parent) {
    std::vector<app::FolderAge> folders;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(parent + u"UpdateTemp*"), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
        // A link named like a work folder is not one of ours.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            folders.push_back({std::u16string(reinterpret_cast<const char16_t*>(found.cFileName)),
                               UnixSeconds(found.ftLastWriteTime)});
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return folders;
}

std::uint32_t RemoveFolderTree(const std::u16string& path) {
    const std::u16string folder = Extended(path);
    DWORD firstError = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(Wide(folder + u"\\*"), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotEntry(found.cFileName)) continue;
            const std::u16string entry =
                path + u"\\" + reinterpret_cast<const char16_t*>(found.cFileName);
            const std::u16string extended = Extended(entry);
            DWORD error = 0;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // A link is removed as a link; what it points at is never entered.
                const bool removed = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                                         ? RemoveDirectoryW(Wide(extended))
                                         : DeleteFileW(Wide(extended));
                if (!removed) error = GetLastError();
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                error = RemoveFolderTree(entry);
            } else {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                    SetFileAttributesW(Wide(extended), FILE_ATTRIBUTE_NORMAL);
                }
                if (!DeleteFileW(Wide(extended))) error = GetLastError();
            }
            if (error != 0 && firstError == 0) firstError = error;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (!RemoveDirectoryW(Wide(folder)) && firstError == 0) firstError = GetLastError();
    return firstError;
}

}  // namespace win
