#pragma once
// app::FileSystem over the Win32 file calls.

#include "app/file_system.h"

namespace win {

class LegacyFileSystem final : public app::FileSystem {
  public:
    app::EntryKind KindOf(const std::u16string& path) override;
    std::uint32_t CreateFolder(const std::u16string& path) override;
    std::uint32_t Move(const std::u16string& from, const std::u16string& to) override;
    std::uint32_t RemoveFile(const std::u16string& path) override;
    std::uint32_t RemoveFolder(const std::u16string& path) override;
    std::uint32_t ListTree(const std::u16string& root,
                           std::vector<app::TreeEntry>& entries) override;
};

}  // namespace win
