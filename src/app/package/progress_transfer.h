#pragma once
// The package download as the desktop runs it under its progress window.

#include <cstdint>
#include <functional>

namespace app {

// How a transfer under the progress window ended.
enum class TransferEnd {
    Done,       // the transfer stored the whole package
    Failed,     // the transfer gave up; its report says why
    Cancelled,  // the user cancelled; the transfer may still be waiting for data
    Stalled,    // less than 1 KiB arrived in 60 s; the transfer may still be waiting for data
};

// Receives (received, total) as the body arrives, total below 0 while unknown; false asks the
// transfer to stop.
using TransferProgress = std::function<bool(std::int64_t received, std::int64_t total)>;

// The transfer itself: true when the whole package was stored. It may run on a thread of its
// own and outlive the run after a cancel, so it must own everything it touches. watched is
// true when it does run on a thread of its own while the caller keeps the 60 s rule and
// Cancel: only then may its reads wait for a whole chunk.
using Transfer = std::function<bool(const TransferProgress& progress, bool watched)>;

}  // namespace app
