#include "net/file_sink.h"

namespace net {

FileSink::FileSink(base::FileSystem& fileSystem, std::u16string target, std::u16string noLinksBelow)
    : files(fileSystem), path(std::move(target)), linkFree(std::move(noLinksBelow)) {}

base::FileResult FileSink::RoomFor(std::int64_t bytes) {
    const std::size_t slash = path.find_last_of(u"\\/");
    const std::u16string folder = slash == std::u16string::npos ? u"." : path.substr(0, slash + 1);
    std::uint64_t free = 0;
    if (bytes <= 0 || !files.FreeSpace(folder, free).Ok()) return base::Succeeded();
    if (free >= kSpareBytes && free - kSpareBytes >= static_cast<std::uint64_t>(bytes)) {
        return base::Succeeded();
    }
    return {base::FileError::DiskFull, 0};
}

base::FileResult FileSink::Begin(std::int64_t keep, std::int64_t length) {
    file.reset();
    if (const base::FileResult made = base::MakeFoldersAbove(files, path, linkFree); !made.Ok()) {
        return made;
    }
    if (const base::FileResult room = RoomFor(length - keep); !room.Ok()) return room;
    return files.OpenForWriting(path, keep, file);
}

base::FileResult FileSink::Write(const char* data, std::size_t size) {
    if (!file) return {base::FileError::Other, 0};
    return file->Write(data, size);
}

base::FileResult FileSink::Finish() {
    if (!file) return base::Succeeded();
    const base::FileResult closed = file->Close();
    file.reset();
    return closed;
}

void FileSink::Discard() {
    file.reset();
    files.RemoveFile(path);
}

}  // namespace net
