#pragma once
// The rule that ends a download which hardly moves: less than 1 KiB in any 60 s. Reads on a
// trickling line return now and then, so the rule is checked between reads, on the updater's clock.

#include <cstdint>
#include <deque>

namespace net {

class StallWatch {
  public:
    static constexpr std::int64_t kLeastBytes = 1024;
    static constexpr std::uint64_t kWindowMs = 60'000;

    explicit StallWatch(std::uint64_t beganMs) : startMs(beganMs) {}

    void Arrived(std::uint64_t nowMs, std::int64_t bytes);
    // The time at which the rule fails unless more data arrives first.
    std::uint64_t DeadlineMs() const;
    bool Stalled(std::uint64_t nowMs) const { return nowMs >= DeadlineMs(); }

  private:
    struct Arrival {
        std::uint64_t atMs;
        std::int64_t bytes;
    };
    std::uint64_t startMs;
    // The latest reads that together make at least kLeastBytes, no more than needed; at most
    // kLeastBytes entries, so memory stays flat however long the download.
    std::deque<Arrival> recent;
    std::int64_t recentBytes = 0;
};

}  // namespace net
