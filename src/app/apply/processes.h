#pragma once
// What the run learns from other processes: the host it waits for, the message it sends the
// host, and the archiver it starts.

#include <cstdint>
#include <memory>

namespace app {

enum class WaitResult { Ended, StillRunning, Failed };

// A process opened for waiting; it stays the same process while this is held, even if its id
// is given to another one after it ended.
class ProcessWatch {
  public:
    virtual ~ProcessWatch() = default;
    virtual WaitResult WaitForEnd(std::uint32_t milliseconds) = 0;
};

struct HostLookup {
    std::unique_ptr<ProcessWatch> process;  // none: no window, or no access
    std::uint32_t processId = 0;            // 0 when the window names no process
    std::uint32_t error = 0;                // why it could not be opened
};

struct SendResult {
    bool answered = false;  // the window procedure returned in time
    std::uint32_t error = 0;
};

struct HiddenRun {
    enum class State { NotStarted, Ended, TimedOut };
    State state = State::NotStarted;
    std::uint32_t exitCode = 0;  // when Ended
    std::uint32_t error = 0;     // when NotStarted
};

}  // namespace app
