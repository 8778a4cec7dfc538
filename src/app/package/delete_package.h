#pragma once
// A package that must not stay: after a cancel, a refused digest, or once unpacked.

#include <string>

#include "base/file_system.h"

namespace app {

// Deletes the file; one that is not there counts as deleted.
inline base::FileResult DeletePackage(base::FileSystem& files, const std::u16string& path) {
    const base::FileResult removed = files.RemoveFile(path);
    return removed.Is(base::FileError::NotFound) ? base::Succeeded() : removed;
}

}  // namespace app
