#include "net/file_sink.h"

namespace net {

FileSink::FileSink(base::FileSystem& fileSystem, std::u16string target)
    : files(fileSystem), path(std::move(target)) {}

base::FileResult FileSink::Begin(std::int64_t keep) {
    file.reset();
    if (const base::FileResult made = base::MakeFoldersAbove(files, path); !made.Ok()) {
        return made;
    }
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
