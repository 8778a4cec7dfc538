#include "net/transfer_watch.h"

namespace net {

void TransferWatch::Received(std::int64_t received) {
    if (received > lastReceived) arrived += received - lastReceived;
    lastReceived = received;
}

bool TransferWatch::Stalled(std::uint64_t nowMs) {
    const std::int64_t total = arrived.load();
    watch.Arrived(nowMs, total - seen);
    seen = total;
    return watch.Stalled(nowMs);
}

}  // namespace net
