#include "net/memory_sink.h"

namespace net {

base::FileResult MemorySink::Begin(std::int64_t keep, std::int64_t) {
    // Keeping more than is held would invent bytes.
    if (keep < 0 || static_cast<std::uint64_t>(keep) > bytes.size()) {
        return {base::FileError::Other, 0};
    }
    bytes.resize(static_cast<std::size_t>(keep));
    return base::Succeeded();
}

base::FileResult MemorySink::Write(const char* data, std::size_t size) {
    bytes.append(data, size);
    return base::Succeeded();
}

}  // namespace net
