#pragma once
// One watched transfer: the transfer on a worker thread with whole-chunk reads, while the
// calling thread keeps the 60 s rule (net::TransferWatch) and a cancel, and gives a worker that
// does not stop a short grace before it goes on without it. The progress window and
// download.exe are its clients.

#include <windows.h>

#include <cstdint>

#include "app/package/progress_transfer.h"

namespace win {

// What the waiting thread does besides watching.
class TransferWatcher {
  public:
    virtual ~TransferWatcher() = default;
    // True once the transfer is to stop (the user cancelled); asked on every tick.
    virtual bool CancelRequested() = 0;
    // On every tick while the transfer runs, with the bytes so far (total below 0 while unknown).
    virtual void Tick(std::int64_t received, std::int64_t total) = 0;
    // Waits until `done` is set or a tick is due, handling what else arrives meanwhile.
    virtual void Wait(HANDLE done) = 0;
    // Before the grace after a cancel or a stall: close what the watcher shows.
    virtual void Leaving() {}
};

// Runs the transfer, watched. Without a worker thread it runs on this thread instead, unwatched,
// with reads that keep the 60 s rule themselves; the watcher then sees no tick.
app::TransferEnd RunWatchedTransfer(const app::Transfer& transfer, TransferWatcher& watcher);

}  // namespace win
