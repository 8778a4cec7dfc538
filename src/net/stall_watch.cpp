#include "net/stall_watch.h"

namespace net {

void StallWatch::Arrived(std::uint64_t nowMs, std::int64_t bytes) {
    if (bytes <= 0) return;
    recent.push_back({nowMs, bytes});
    recentBytes += bytes;
    while (recentBytes - recent.front().bytes >= kLeastBytes) {
        recentBytes -= recent.front().bytes;
        recent.pop_front();
    }
}

std::uint64_t StallWatch::DeadlineMs() const {
    // Until a whole KiB has arrived, the window runs from the start.
    const std::uint64_t from = recentBytes >= kLeastBytes ? recent.front().atMs : startMs;
    return from + kWindowMs;
}

}  // namespace net
