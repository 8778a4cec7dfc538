#pragma once
// The one file-system seam of the updater: the run, the swap, the cleanup and the downloader
// all go through it, so that every step can be run natively against a file system that fails
// any call.
//
// Paths are whole Windows paths. A folder may be named with or without its closing backslash;
// the seam treats both alike. Paths of any length work: the Windows side turns long ones into
// the "\\?\" form itself.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// What went wrong, in the terms the updater acts on. The system's own code travels along only
// for the log.
enum class FileError : std::uint8_t {
    None,
    NotFound,  // the file, or a folder on its path, is not there
    Exists,    // the target is there already
    InUse,     // another process holds it (sharing or lock violation, or access denied
               // while a file is held open, as Windows reports for a running program)
    DiskFull,
    AccessDenied,  // this user may not do it
    NotEmpty,      // a folder to remove still holds entries
    Other,
    Link,  // a link (any reparse point) where a folder of our own was expected
};

// "not found", "in use", ... for the log.
std::u16string_view FileErrorName(FileError error);

struct FileResult {
    FileError error = FileError::None;
    std::uint32_t systemCode = 0;  // GetLastError() of the failing call, 0 when none failed

    bool Ok() const { return error == FileError::None; }
    bool Is(FileError kind) const { return error == kind; }
    // "in use (error 32)"; "done" when it did not fail.
    std::u16string Describe() const;
};

inline FileResult Succeeded() {
    return {};
}

// Link: any reparse point (a symbolic link, a junction, a mount point), to a file or a folder;
// the updater never goes through one.
enum class EntryKind { None, File, Folder, Link };

struct TreeEntry {
    std::u16string path;  // relative to the listed folder, backslash separated
    bool folder = false;
    bool link = false;  // a reparse point: listed, never entered
};

// A sub-folder and when it was last written to.
struct FolderAge {
    std::u16string name;                // without path
    std::int64_t lastWriteSeconds = 0;  // seconds since 1970-01-01 UTC
};

// A file opened for writing; closed with the object if Close was not called.
class WritableFile {
  public:
    virtual ~WritableFile() = default;
    virtual FileResult Write(const char* data, std::size_t size) = 0;
    // Everything written has reached the system; a full disk may first show here.
    virtual FileResult Close() = 0;
    // Everything written so far is on the disk itself, as a journal needs before it is relied on.
    virtual FileResult Flush() = 0;
};

// A file held open for reading: while this lives no other process can write, rename or delete
// the file; others may still read it and run it.
class HeldFile {
  public:
    virtual ~HeldFile() = default;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What the path names (Link for a reparse point of either kind); None also when it cannot
    // be told.
    virtual EntryKind KindOf(const std::u16string& path) = 0;
    // One folder, whose parent exists; Exists when something has the name already.
    virtual FileResult MakeFolder(const std::u16string& path) = 0;
    // Moves a file or folder to a path that does not exist yet, never replacing anything. A
    // file may cross volumes (copied, then the source deleted); a folder moves within its
    // volume only. The move is on the disk when it returns (written through).
    virtual FileResult Move(const std::u16string& from, const std::u16string& to) = 0;
    // A file, read-only or not; NotFound when it is not there.
    virtual FileResult RemoveFile(const std::u16string& path) = 0;
    // An empty folder.
    virtual FileResult RemoveFolder(const std::u16string& path) = 0;
    // The folder and everything in it. A link inside is removed as a link: what it points at
    // is never entered. Goes on past a failing entry and answers the first failure.
    virtual FileResult RemoveTree(const std::u16string& path) = 0;
    // Everything under root, each folder before its contents; a link is listed as one and
    // never entered.
    virtual FileResult ListTree(const std::u16string& root, std::vector<TreeEntry>& entries) = 0;
    // The sub-folders of parent whose names start with prefix, links left out.
    virtual std::vector<FolderAge> ListFolders(const std::u16string& parent,
                                               std::u16string_view prefix) = 0;
    // The whole file into bytes; Other when it holds more than maxBytes.
    virtual FileResult ReadSmallFile(const std::u16string& path, std::size_t maxBytes,
                                     std::string& bytes) = 0;
    // Opens the file for writing, its first `keep` bytes kept and the rest cut off, positioned
    // at the end; created (or emptied) when keep is 0. Other threads may read and delete it
    // meanwhile.
    virtual FileResult OpenForWriting(const std::u16string& path, std::int64_t keep,
                                      std::unique_ptr<WritableFile>& file) = 0;
    // Opens the file for reading, sharing only reading, and keeps it so until held goes: what
    // was checked in it is then what a reader gets. InUse when a writer has it open.
    virtual FileResult HoldForReading(const std::u16string& path,
                                      std::unique_ptr<HeldFile>& held) = 0;

    // Takes the pieces of ReadFirstBytes in order; false stops the reading.
    class PieceReader {
      public:
        virtual ~PieceReader() = default;
        virtual bool Take(std::string_view piece) = 0;
    };
    // Hands the file's first `count` bytes to reader, a piece at a time, with no other writer
    // allowed meanwhile; Other when the file is shorter or the reader stopped.
    virtual FileResult ReadFirstBytes(const std::u16string& path, std::int64_t count,
                                      PieceReader& reader) = 0;
    // The bytes this user may still write on the volume that holds the folder.
    virtual FileResult FreeSpace(const std::u16string& folder, std::uint64_t& bytes) = 0;

    // --- folders of the updater's own beside the application ---
    // Marks the file or folder hidden, so that Explorer does not show a folder mid-update.
    virtual FileResult Hide(const std::u16string& path) = 0;
};

// Makes every missing folder above path (which names a file), outermost first. The nearest
// level that is there must be a folder (a file there answers NotFound, as Windows does). Levels
// below linkFree (a folder this program made) must not be links: one there is refused, so that
// nothing made or written here lands where a link points. linkFree itself and the levels above
// it are taken as they are: a temporary folder may well be a junction.
FileResult MakeFoldersAbove(FileSystem& files, const std::u16string& path,
                            std::u16string_view linkFree = {});

}  // namespace base
