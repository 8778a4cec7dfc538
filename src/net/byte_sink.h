#pragma once
// Where a download's body goes: the downloader only hands bytes on, so that the same download
// can land in memory (the manifest and its signature) or in a file that can resume (packages).
// Results are in the file system's terms, so that a full disk stays a full disk for the log.

#include <cstddef>
#include <cstdint>

#include "base/file_system.h"

namespace net {

class ByteSink {
  public:
    virtual ~ByteSink() = default;

    // Begins the body, or begins it again after a dropped line, keeping the first `keep` bytes
    // already held and nothing after them (0: nothing is kept). `length` is the whole body's
    // announced length, kept part included.
    virtual base::FileResult Begin(std::int64_t keep, std::int64_t length) = 0;
    virtual base::FileResult Write(const char* data, std::size_t size) = 0;
    // Ends what Begin began, whole or not: everything written is stored; a full disk may first
    // show here. Begin may follow again.
    virtual base::FileResult Finish() = 0;
    // Drops whatever was written (a cancelled download leaves nothing behind).
    virtual void Discard() = 0;
};

}  // namespace net
