#include "win/system_error.h"

#include <windows.h>

namespace win {

base::FileError FileErrorOf(std::uint32_t code) {
    switch (code) {
        case ERROR_SUCCESS:
            return base::FileError::None;
        // Only these say the entry is not there; a drive or share that cannot be reached may
        // well hold it, so those are Other.
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return base::FileError::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return base::FileError::Exists;
        // A program that runs, a host still closing or a virus scanner holds its files; Windows
        // answers access denied for some of them too, so the swap tries those again as well.
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return base::FileError::InUse;
        case ERROR_ACCESS_DENIED:
            return base::FileError::AccessDenied;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return base::FileError::DiskFull;
        case ERROR_DIR_NOT_EMPTY:
            return base::FileError::NotEmpty;
        default:
            return base::FileError::Other;
    }
}

base::FileResult FileFailure(std::uint32_t code) {
    const base::FileError kind = FileErrorOf(code);
    return {kind == base::FileError::None ? base::FileError::Other : kind, code};
}

base::FileResult FileResultOf(bool done) {
    return done ? base::Succeeded() : FileFailure(static_cast<std::uint32_t>(GetLastError()));
}

}  // namespace win
