#pragma once
// A body held in memory: small answers that are read at once, such as the manifest and its
// signature. The downloader's length bound keeps it small.

#include <string>

#include "net/byte_sink.h"

namespace net {

class MemorySink final : public ByteSink {
  public:
    base::FileResult Begin(std::int64_t keep, std::int64_t length) override;
    base::FileResult Write(const char* data, std::size_t size) override;
    base::FileResult Finish() override { return base::Succeeded(); }
    void Discard() override { bytes.clear(); }

    const std::string& Bytes() const { return bytes; }

  private:
    std::string bytes;
};

}  // namespace net
