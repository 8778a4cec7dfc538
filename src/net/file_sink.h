#pragma once
// A body written into a file through the file-system seam: the folders above it are made when
// it begins, a body that would not fit on the volume is refused before a byte is written, a
// dropped line resumes it at its end, and a discard deletes the partial file.

#include <memory>
#include <string>

#include "base/file_system.h"
#include "net/byte_sink.h"

namespace net {

class FileSink final : public ByteSink {
  public:
    // What a body must leave free on its volume: the system and the unpacking need room too.
    static constexpr std::uint64_t kSpareBytes = 1024 * 1024;

    // No folder on the path below linkFree (a folder this program made) may be a link.
    FileSink(base::FileSystem& files, std::u16string path, std::u16string linkFree = {});

    // DiskFull with system code 0 when the rest of the body and kSpareBytes exceed the free
    // space; a volume whose free space cannot be told is tried anyway.
    base::FileResult Begin(std::int64_t keep, std::int64_t length) override;
    base::FileResult Write(const char* data, std::size_t size) override;
    base::FileResult Finish() override;
    void Discard() override;

    const std::u16string& Path() const { return path; }

  private:
    base::FileResult RoomFor(std::int64_t bytes);

    base::FileSystem& files;
    const std::u16string path;
    const std::u16string linkFree;
    std::unique_ptr<base::WritableFile> file;  // open between Begin and Finish
};

}  // namespace net
