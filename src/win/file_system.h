#pragma once
// base::FileSystem over the Win32 file calls.

#include "base/file_system.h"

namespace win {

class WinFileSystem final : public base::FileSystem {
  public:
    base::EntryKind KindOf(const std::u16string& path) override;
    base::FileResult MakeFolder(const std::u16string& path) override;
    base::FileResult Move(const std::u16string& from, const std::u16string& to) override;
    base::FileResult RemoveFile(const std::u16string& path) override;
    base::FileResult RemoveFolder(const std::u16string& path) override;
    base::FileResult RemoveTree(const std::u16string& path) override;
    base::FileResult ListTree(const std::u16string& root,
                              std::vector<base::TreeEntry>& entries) override;
    std::vector<base::FolderAge> ListFolders(const std::u16string& parent,
                                             std::u16string_view prefix) override;
    base::FileResult ReadSmallFile(const std::u16string& path, std::size_t maxBytes,
                                   std::string& bytes) override;
    base::FileResult OpenForWriting(const std::u16string& path, std::int64_t keep,
                                    std::unique_ptr<base::WritableFile>& file) override;
    base::FileResult HoldForReading(const std::u16string& path,
                                    std::unique_ptr<base::HeldFile>& held) override;
    base::FileResult ReadFirstBytes(const std::u16string& path, std::int64_t count,
                                    PieceReader& reader) override;
    base::FileResult FreeSpace(const std::u16string& folder, std::uint64_t& bytes) override;
    base::FileResult Hide(const std::u16string& path) override;
};

// The form of a whole path the file calls take: without closing backslashes (a drive's root
// keeps its one), and, once it is too long for the plain calls, in the "\\?\" form, which
// takes any length but resolves neither "/" nor "." parts (so "/" becomes "\" there).
std::wstring SystemPath(const std::u16string& path);

}  // namespace win
