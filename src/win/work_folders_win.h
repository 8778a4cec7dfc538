#pragma once
// The file-system steps of the work folders: making one, listing and removing old ones.

#include <cstdint>
#include <string>
#include <vector>

#include "app/platform.h"

namespace win {

std::uint32_t MakeFolder(const std::u16string& path);
std::uint32_t RemoveFile(const std::u16string& path);
std::vector<app::FolderAge> ListWorkFolders(const std::u16string& parent);
std::uint32_t RemoveFolderTree(const std::u16string& path);

}  // namespace win
