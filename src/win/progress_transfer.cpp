#include "win/progress_transfer.h"

#include <atomic>
#include <memory>

#include "net/transfer_watch.h"

namespace win {
namespace {

// After a cancel or a stall, the worker gets this long to notice before the caller goes on
// without it.
constexpr DWORD kGraceMs = 500;

// What the waiting thread and the worker share; the worker holds it for as long as it runs,
// which after a cancel can be longer than the caller.
struct Shared {
    explicit Shared(app::Transfer work) : transfer(std::move(work)) {}
    ~Shared() {
        if (done) CloseHandle(done);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const app::Transfer transfer;
    std::atomic<std::int64_t> received{0};
    std::atomic<std::int64_t> total{-1};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stored{false};
    // The 60 s rule, kept by the waiting thread: the worker's whole-chunk reads may not return
    // for as long as a line trickles.
    net::TransferWatch watch{GetTickCount64()};
    // Set once the transfer has returned; the waiting thread wakes on it.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

bool RunTransfer(Shared& shared, bool watched) {
    try {
        return shared.transfer(
            [&shared](std::int64_t received, std::int64_t total) {
                shared.received = received;
                shared.total = total;
                shared.watch.Received(received);
                return !shared.cancelled.load();
            },
            watched);
    } catch (...) {
        return false;  // out of memory in the worker: a failed download, not a dead process
    }
}

DWORD WINAPI Work(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Shared>> owned(
        static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    shared.stored = RunTransfer(shared, true);
    SetEvent(shared.done);
    return 0;
}

// Stops the worker at its next look, if any: one blocked in a read is left to the end of the
// process.
app::TransferEnd Leave(Shared& shared, TransferWatcher& watcher, app::TransferEnd end) {
    shared.cancelled = true;
    watcher.Leaving();
    WaitForSingleObject(shared.done, kGraceMs);
    return end;
}

}  // namespace

app::TransferEnd RunWatchedTransfer(const app::Transfer& transfer, TransferWatcher& watcher) {
    auto shared = std::make_shared<Shared>(transfer);
    HANDLE thread = nullptr;
    if (shared->done) {
        auto* parameter = new std::shared_ptr<Shared>(shared);
        thread = CreateThread(nullptr, 0, Work, parameter, 0, nullptr);
        if (!thread) delete parameter;
    }
    if (!thread) {
        return RunTransfer(*shared, false) ? app::TransferEnd::Done : app::TransferEnd::Failed;
    }
    CloseHandle(thread);

    for (;;) {
        if (watcher.CancelRequested()) return Leave(*shared, watcher, app::TransferEnd::Cancelled);
        if (WaitForSingleObject(shared->done, 0) == WAIT_OBJECT_0) {
            return shared->stored ? app::TransferEnd::Done : app::TransferEnd::Failed;
        }
        // Final, as when the downloader finds it.
        if (shared->watch.Stalled(GetTickCount64())) {
            return Leave(*shared, watcher, app::TransferEnd::Stalled);
        }
        watcher.Tick(shared->received, shared->total);
        watcher.Wait(shared->done);
    }
}

}  // namespace win
