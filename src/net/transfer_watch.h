#pragma once
// The 60 s rule kept by the thread that waits for a download rather than the one that reads
// it: a whole-chunk read on a trickling line returns only once its buffer fills, so the reading
// thread may never get to look at the clock.

#include <atomic>
#include <cstdint>

#include "net/stall_watch.h"

namespace net {

class TransferWatch {
  public:
    explicit TransferWatch(std::uint64_t startMs) : watch(startMs) {}

    // On the reading thread, from the progress callback: the bytes stored so far. A count that
    // goes down (a body fetched again from zero) brings nothing new.
    void Received(std::int64_t received);
    // On the waiting thread: true once less than 1 KiB arrived in 60 s. Bytes count as arrived
    // when this first sees them, so call it often (every few hundred ms at most).
    bool Stalled(std::uint64_t nowMs);

  private:
    std::int64_t lastReceived = 0;         // reading thread only
    std::atomic<std::int64_t> arrived{0};  // every new byte, from either side of a restart
    std::int64_t seen = 0;                 // waiting thread only, like the watch
    StallWatch watch;
};

}  // namespace net
