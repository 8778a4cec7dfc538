#include "win/win_file_system.h"

#include <windows.h>

#include <string>

namespace win {
namespace {

// Past MAX_PATH the plain calls fail; the "\\?\" form takes any length for a whole path.
// The paths here are whole and hold no "." or ".." parts, which that form would not resolve.
std::wstring Long(const std::u16string& path) {
    std::wstring wide(path.begin(), path.end());
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    if (wide.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
    return wide;
}

std::uint32_t Result(BOOL done) {
    return done ? 0 : static_cast<std::uint32_t>(GetLastError());
}

// What FindFirstFileW gives for a folder: its entries and the two dot names.
bool IsDotName(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

std::uint32_t ListInto(const std::u16string& root, const std::u16string& relative,
                       std::vector<app::TreeEntry>& entries) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Long(root + relative + u"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;
    }
    std::vector<std::u16string> folders;
    do {
        if (IsDotName(found.cFileName)) continue;
        const std::wstring name = found.cFileName;
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back({relative + std::u16string(name.begin(), name.end()), folder});
        if (folder) folders.push_back(entries.back().path + u"\\");
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return error;
    for (const std::u16string& folder : folders) {
        if (const std::uint32_t failed = ListInto(root, folder, entries)) return failed;
    }
    return 0;
}

}  // namespace

app::EntryKind LegacyFileSystem::KindOf(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(Long(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return app::EntryKind::None;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? app::EntryKind::Folder : app::EntryKind::File;
}

std::uint32_t LegacyFileSystem::CreateFolder(const std::u16string& path) {
    return Result(CreateDirectoryW(Long(path).c_str(), nullptr));
}

std::uint32_t LegacyFileSystem::Move(const std::u16string& from, const std::u16string& to) {
    // Never replaces: what was there has been moved aside first. Written through, so that a
    // copy to another volume has reached the disk when it counts as done.
    return Result(MoveFileExW(Long(from).c_str(), Long(to).c_str(),
                              MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
}

std::uint32_t LegacyFileSystem::RemoveFile(const std::u16string& path) {
    const std::wstring wide = Long(path);
    // A read-only file (as archives may carry them) is removed all the same.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return Result(DeleteFileW(wide.c_str()));
}

std::uint32_t LegacyFileSystem::RemoveFolder(const std::u16string& path) {
    return Result(RemoveDirectoryW(Long(path).c_str()));
}

std::uint32_t LegacyFileSystem::ListTree(const std::u16string& root,
                                      std::vector<app::TreeEntry>& entries) {
    entries.clear();
    if (GetFileAttributesW(Long(root).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return static_cast<std::uint32_t>(GetLastError());
    }
    return ListInto(root, u"", entries);
}

}  // namespace win
