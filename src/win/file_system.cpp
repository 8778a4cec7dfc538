#include "win/file_system.h"

#include <windows.h>

#include "win/owned_handle.h"
#include "win/system_error.h"
#include "win/wide.h"

namespace win {
namespace {

// A whole path this long or longer gets the "\\?\" form; the plain calls fail a little short
// of MAX_PATH for folders, which leave room for an 8.3 name.
constexpr std::size_t kLongPath = MAX_PATH - 12;

bool IsDotName(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// FILETIME counts 100 ns steps since 1601-01-01.
std::int64_t UnixSeconds(const FILETIME& time) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10'000'000) - 11'644'473'600LL;
}

std::u16string WithSlash(const std::u16string& folder) {
    return folder.ends_with(u'\\') ? folder : folder + u'\\';
}

class SearchHandle {
  public:
    explicit SearchHandle(HANDLE found) : handle(found) {}
    ~SearchHandle() {
        if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    bool Valid() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; }

  private:
    HANDLE handle;
};

// Calls found for each entry of folder but the dot names; NotFound for a folder that is not
// there, and the error that ended the listing early otherwise.
template <typename Visit>
base::FileResult ForEachEntry(const std::u16string& folder, Visit found) {
    WIN32_FIND_DATAW entry;
    SearchHandle search(FindFirstFileW(SystemPath(WithSlash(folder) + u"*").c_str(), &entry));
    if (!search.Valid()) {
        const DWORD error = GetLastError();
        // An empty drive root answers "file not found"; an empty folder always has its dots.
        return error == ERROR_FILE_NOT_FOUND ? base::Succeeded() : FileFailure(error);
    }
    do {
        if (!IsDotName(entry.cFileName)) found(entry);
    } while (FindNextFileW(search.Get(), &entry));
    const DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? base::Succeeded() : FileFailure(error);
}

base::FileResult ListInto(const std::u16string& root, const std::u16string& relative,
                          std::vector<base::TreeEntry>& entries) {
    std::vector<std::u16string> folders;
    const base::FileResult listed =
        ForEachEntry(root + relative, [&](const WIN32_FIND_DATAW& entry) {
            const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // Wine 8 shows a Unix link to a folder as a folder with this attribute (tag 0).
            const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entries.push_back({relative + FromWide(entry.cFileName), folder, link});
            if (folder && !link) folders.push_back(entries.back().path + u"\\");
        });
    if (!listed.Ok()) return listed;
    for (const std::u16string& folder : folders) {
        const base::FileResult inner = ListInto(root, folder, entries);
        if (!inner.Ok()) return inner;
    }
    return base::Succeeded();
}

class WinWritableFile final : public base::WritableFile {
  public:
    explicit WinWritableFile(OwnedHandle opened) : file(std::move(opened)) {}

    base::FileResult Write(const char* data, std::size_t size) override {
        while (size > 0) {
            const DWORD piece = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file.Get(), data, piece, &written, nullptr)) return FileResultOf(false);
            if (written != piece) return {base::FileError::DiskFull, ERROR_DISK_FULL};
            data += piece;
            size -= piece;
        }
        return base::Succeeded();
    }

    base::FileResult Close() override {
        if (!file) return base::Succeeded();
        return FileResultOf(CloseHandle(file.Release()) != FALSE);
    }

    base::FileResult Flush() override {
        if (!file) return base::Succeeded();
        return FileResultOf(FlushFileBuffers(file.Get()) != FALSE);
    }

  private:
    OwnedHandle file;
};

class WinHeldFile final : public base::HeldFile {
  public:
    explicit WinHeldFile(OwnedHandle opened) : file(std::move(opened)) {}

  private:
    OwnedHandle file;
};

}  // namespace

std::wstring SystemPath(const std::u16string& path) {
    std::wstring wide(path.begin(), path.end());
    // "C:\" keeps its backslash: "C:" alone names the drive's current folder.
    while (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
    if (wide.size() < kLongPath || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    const bool unc = wide.rfind(L"\\\\", 0) == 0;
    const bool drive = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
    if (!unc && !drive) return wide;  // relative: the long form cannot hold it
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return unc ? L"\\\\?\\UNC\\" + wide.substr(2) : L"\\\\?\\" + wide;
}

base::EntryKind WinFileSystem::KindOf(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return base::EntryKind::None;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return base::EntryKind::Link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? base::EntryKind::Folder
                                                   : base::EntryKind::File;
}

base::FileResult WinFileSystem::MakeFolder(const std::u16string& path) {
    return FileResultOf(CreateDirectoryW(SystemPath(path).c_str(), nullptr) != FALSE);
}

base::FileResult WinFileSystem::Move(const std::u16string& from, const std::u16string& to) {
    // Never replaces: what was there has been moved aside first. Written through, so that a
    // copy to another volume has reached the disk when it counts as done.
    return FileResultOf(MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                                    MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != FALSE);
}

base::FileResult WinFileSystem::RemoveFile(const std::u16string& path) {
    const std::wstring system = SystemPath(path);
    // A read-only file (as archives may carry them) is removed all the same.
    const DWORD attributes = GetFileAttributesW(system.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(system.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return FileResultOf(DeleteFileW(system.c_str()) != FALSE);
}

base::FileResult WinFileSystem::RemoveFolder(const std::u16string& path) {
    return FileResultOf(RemoveDirectoryW(SystemPath(path).c_str()) != FALSE);
}

base::FileResult WinFileSystem::RemoveTree(const std::u16string& path) {
    // Named as a folder of our own but a link: what it points at is not ours to empty.
    if (KindOf(path) == base::EntryKind::Link) return {base::FileError::Link, 0};
    const std::u16string folder = WithSlash(path);
    base::FileResult first;
    const auto keep = [&first](const base::FileResult& result) {
        if (first.Ok() && !result.Ok()) first = result;
    };
    keep(ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        const std::u16string inside = folder + FromWide(entry.cFileName);
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link is removed as a link; what it points at is never entered.
            keep(isFolder ? RemoveFolder(inside) : RemoveFile(inside));
        } else {
            keep(isFolder ? RemoveTree(inside) : RemoveFile(inside));
        }
    }));
    keep(RemoveFolder(path));
    return first;
}

base::FileResult WinFileSystem::ListTree(const std::u16string& root,
                                         std::vector<base::TreeEntry>& entries) {
    entries.clear();
    const base::EntryKind kind = KindOf(root);
    if (kind == base::EntryKind::Link) return {base::FileError::Link, 0};
    if (kind != base::EntryKind::Folder) {
        const DWORD error = GetLastError();
        return FileFailure(error != ERROR_SUCCESS ? error : ERROR_DIRECTORY);
    }
    return ListInto(WithSlash(root), u"", entries);
}

std::vector<base::FolderAge> WinFileSystem::ListFolders(const std::u16string& parent,
                                                        std::u16string_view prefix) {
    std::vector<base::FolderAge> folders;
    ForEachEntry(parent, [&](const WIN32_FIND_DATAW& entry) {
        const std::u16string name = FromWide(entry.cFileName);
        // A link named like one of ours is not one of ours.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !name.starts_with(prefix)) {
            return;
        }
        folders.push_back({name, UnixSeconds(entry.ftLastWriteTime)});
    });
    return folders;
}

base::FileResult WinFileSystem::ReadSmallFile(const std::u16string& path, std::size_t maxBytes,
                                              std::string& bytes) {
    bytes.clear();
    OwnedHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return FileResultOf(false);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return FileResultOf(false);
    if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        return {base::FileError::Other, ERROR_FILE_TOO_LARGE};
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        bytes.clear();
        return {base::FileError::Other, static_cast<std::uint32_t>(GetLastError())};
    }
    return base::Succeeded();
}

base::FileResult WinFileSystem::OpenForWriting(const std::u16string& path, std::int64_t keep,
                                               std::unique_ptr<base::WritableFile>& file) {
    file.reset();
    // Shared for reading and deleting: a cancel on another thread may delete the partial file
    // while this one still writes it.
    OwnedHandle handle(CreateFileW(
        SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        keep > 0 ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return FileResultOf(false);
    // A new file is empty already; cutting it again would fail on devices such as Z:\dev\full.
    LARGE_INTEGER at{};
    at.QuadPart = keep;
    if (keep > 0 &&
        (!SetFilePointerEx(handle.Get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle.Get()))) {
        return FileResultOf(false);
    }
    file = std::make_unique<WinWritableFile>(std::move(handle));
    return base::Succeeded();
}

base::FileResult WinFileSystem::HoldForReading(const std::u16string& path,
                                               std::unique_ptr<base::HeldFile>& held) {
    held.reset();
    // Read sharing only: the archiver, the shell and the loader still open it to read or run
    // it, but nobody can open it for writing, rename it or delete it while it is held.
    OwnedHandle handle(CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return FileResultOf(false);
    held = std::make_unique<WinHeldFile>(std::move(handle));
    return base::Succeeded();
}

base::FileResult WinFileSystem::ReadFirstBytes(const std::u16string& path, std::int64_t count,
                                               PieceReader& reader) {
    // Read sharing only: no other process changes the bytes while they are read.
    const OwnedHandle handle(CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                         nullptr));
    if (!handle) return FileResultOf(false);
    constexpr DWORD kPiece = 1u << 20;
    std::vector<char> buffer(kPiece);
    for (std::int64_t left = count; left > 0;) {
        const DWORD want = left < kPiece ? static_cast<DWORD>(left) : kPiece;
        DWORD read = 0;
        if (!ReadFile(handle.Get(), buffer.data(), want, &read, nullptr))
            return FileResultOf(false);
        if (read == 0) return {base::FileError::Other, ERROR_HANDLE_EOF};
        if (!reader.Take(std::string_view(buffer.data(), read))) return {base::FileError::Other, 0};
        left -= read;
    }
    return base::Succeeded();
}

base::FileResult WinFileSystem::FreeSpace(const std::u16string& folder, std::uint64_t& bytes) {
    // A share's root is named with its closing backslash.
    std::wstring path = SystemPath(folder);
    if (!path.ends_with(L'\\')) path += L'\\';
    ULARGE_INTEGER available{};
    const bool told = GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr) != FALSE;
    bytes = told ? available.QuadPart : 0;
    return FileResultOf(told);
}

base::FileResult WinFileSystem::Hide(const std::u16string& path) {
    const std::wstring system = SystemPath(path);
    const DWORD attributes = GetFileAttributesW(system.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileResultOf(false);
    return FileResultOf(SetFileAttributesW(system.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) !=
                        FALSE);
}

}  // namespace win
