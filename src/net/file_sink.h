#pragma once
// A body written into a file through the file-system seam: the folders above it are made when
// it begins, a dropped line resumes it at its end, and a discard deletes the partial file.

#include <memory>
#include <string>

#include "base/file_system.h"
#include "net/byte_sink.h"

namespace net {

class FileSink final : public ByteSink {
  public:
    FileSink(base::FileSystem& files, std::u16string path);

    base::FileResult Begin(std::int64_t keep) override;
    base::FileResult Write(const char* data, std::size_t size) override;
    base::FileResult Finish() override;
    void Discard() override;

    const std::u16string& Path() const { return path; }

  private:
    base::FileSystem& files;
    const std::u16string path;
    std::unique_ptr<base::WritableFile> file;  // open between Begin and Finish
};

}  // namespace net
