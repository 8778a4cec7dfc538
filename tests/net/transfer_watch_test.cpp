#include "net/transfer_watch.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

namespace net {
namespace {

// Each step: at this time the reader reports this count, then the waiting thread looks.
using Steps = std::vector<std::pair<std::uint64_t, std::int64_t>>;

TEST(TransferWatch, StallsWhenLessThanAKibArrivesInAMinute) {
    const struct {
        const char* name;
        Steps steps;
        std::uint64_t lookAt;
        bool stalled;
    } cases[] = {
        {"nothing at all", {}, 60'000, true},
        {"nothing, not yet", {}, 59'999, false},
        {"a KiB, then quiet for 59 s", {{1'000, 1024}}, 60'999, false},
        {"a KiB, then quiet for 60 s", {{1'000, 1024}}, 61'000, true},
        {"512 bytes every 29 s", {{29'000, 512}, {58'000, 1024}, {87'000, 1536}}, 117'999, false},
        // Fetched again from zero: the fall is no arrival, the new bytes are.
        {"restart, little again", {{1'000, 5000}, {2'000, 0}, {50'000, 500}}, 61'000, true},
        {"restart, a KiB again", {{1'000, 5000}, {2'000, 0}, {50'000, 1024}}, 109'999, false},
    };
    for (const auto& c : cases) {
        TransferWatch watch(0);
        for (const auto& [at, received] : c.steps) {
            watch.Received(received);
            EXPECT_FALSE(watch.Stalled(at)) << c.name << " at " << at;
        }
        EXPECT_EQ(watch.Stalled(c.lookAt), c.stalled) << c.name;
    }
}

// The reader and the waiter on threads of their own: every byte is seen once.
TEST(TransferWatch, CountsAcrossThreads) {
    TransferWatch watch(0);
    std::thread reader([&watch] {
        for (std::int64_t received = 1; received <= 100'000; ++received) watch.Received(received);
    });
    for (int look = 0; look < 1000; ++look) watch.Stalled(1'000);
    reader.join();
    watch.Stalled(1'000);
    // 100 000 bytes by 1 s keep it going until 61 s, and not a moment longer.
    EXPECT_FALSE(watch.Stalled(60'999));
    EXPECT_TRUE(watch.Stalled(61'000));
}

}  // namespace
}  // namespace net
