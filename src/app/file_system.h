#pragma once
// The file operations that putting an update in place needs, one system call each, so that
// the swap and its rollback can be run natively against a file system that fails any step.
// Paths are whole Windows paths; every operation answers 0 or the system's error code.

#include <cstdint>
#include <string>
#include <vector>

namespace app {

enum class EntryKind { None, File, Folder };

struct TreeEntry {
    std::u16string path;  // relative to the listed folder, backslash separated
    bool folder = false;
};

// System error codes the swap tells apart.
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorLockViolation = 33;
inline constexpr std::uint32_t kErrorFileExists = 80;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What the path names; None also when it cannot be told.
    virtual EntryKind KindOf(const std::u16string& path) = 0;
    // One folder, whose parent exists.
    virtual std::uint32_t CreateFolder(const std::u16string& path) = 0;
    // Moves a file or folder to a path that does not exist yet. A file may cross volumes (it
    // is then copied, and the source deleted); a folder moves within its volume only.
    virtual std::uint32_t Move(const std::u16string& from, const std::u16string& to) = 0;
    virtual std::uint32_t RemoveFile(const std::u16string& path) = 0;
    // An empty folder.
    virtual std::uint32_t RemoveFolder(const std::u16string& path) = 0;
    // Everything under root (which ends with a backslash), each folder before its contents.
    virtual std::uint32_t ListTree(const std::u16string& root, std::vector<TreeEntry>& entries) = 0;
};

}  // namespace app
