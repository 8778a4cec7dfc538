#pragma once
// Other processes as the run deals with them: the host it tells and waits for, the archiver
// it runs hidden, what it starts and watches, the lock that keeps a second updater out, and
// where this program and the temporary directory lie.

#include <cstdint>
#include <memory>
#include <string>

namespace app {

enum class WaitResult { Ended, StillRunning, Failed };

// A process opened for waiting; it stays the same process while this is held, even if its id
// is given to another one after it ended.
class ProcessWatch {
  public:
    virtual ~ProcessWatch() = default;
    virtual WaitResult WaitForEnd(std::uint32_t milliseconds) = 0;
    // Once WaitForEnd said Ended: the process's exit code.
    virtual std::uint32_t ExitCode() = 0;
};

// Program: a program is started with CreateProcessW in its own folder, anything else opened
// as the shell does there. Shell: as the shell opens it (an installer).
enum class StartWith { Program, Shell };

struct Started {
    bool started = false;
    // The started process, for watching; none when the shell handed the file to a program
    // that was running already.
    std::unique_ptr<ProcessWatch> process;
    std::uint32_t error = 0;  // when not started
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

// The one-run lock as claimed.
struct RunLockClaim {
    enum class State { Claimed, HeldByAnother, NotCreated };
    State state = State::Claimed;
    std::uint32_t error = 0;  // why it could not be created
};

// A second copy of this program started through the elevation prompt and waited for.
struct ElevatedRun {
    enum class State {
        Ended,       // exitCode says how
        Declined,    // the user said no at the prompt (error 1223)
        NotStarted,  // error says why
    };
    State state = State::NotStarted;
    std::uint32_t exitCode = 0;
    std::uint32_t error = 0;
};

class Processes {
  public:
    virtual ~Processes() = default;

    // The process of the window's thread, opened for waiting.
    virtual HostLookup OpenWindowProcess(std::int32_t window) = 0;
    // Sends message (both parameters 0) and waits at most milliseconds for it to be handled;
    // a hung window does not count as answering.
    virtual SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                          std::uint32_t milliseconds) = 0;
    // Starts application with commandLine hidden, standard input and output on NUL; waits at
    // most milliseconds for the process to end, and ends it when it has not.
    virtual HiddenRun RunHiddenWithin(const std::u16string& application,
                                      const std::u16string& commandLine,
                                      std::uint32_t milliseconds) = 0;
    // Starts the file (whole path) without parameters.
    virtual Started Start(const std::u16string& file, StartWith how) = 0;
    // Holds a lock named after the application folder (case-insensitive) until the process
    // ends; HeldByAnother when another process holds it, NotCreated when it could not be made.
    virtual RunLockClaim ClaimRunLock(const std::u16string& appFolder) = 0;
    // After ClaimRunLock said HeldByAnother: when the holder is watching the version it started
    // (it may have started this very updater), waits at most milliseconds for the lock. True
    // once this process holds it; false at once when the holder is doing anything else.
    virtual bool WaitForRunLock(std::uint32_t milliseconds) = 0;
    // Tells a second updater, from now until this process ends, that it may wait for the lock.
    virtual void AnnounceHealthWatch() = 0;
    // This program's own path, whole; empty when the system gives none.
    virtual std::u16string ModulePath() = 0;
    // The temporary directory, whole, with its closing backslash; empty when there is none.
    virtual std::u16string TempPath() = 0;
    // This process's id.
    virtual std::uint32_t OwnProcessId() = 0;
    // Starts this program again with parameters through the elevation prompt ("runas") and
    // waits for it to end.
    virtual ElevatedRun RunElevated(const std::u16string& parameters) = 0;
    // Starts program (a whole path, no parameters, in its own folder) as a child of the process
    // with id parentId, so that it gets that process's rights instead of this one's; that
    // process must be this one's own parent.
    virtual Started StartAsChildOf(std::uint32_t parentId, const std::u16string& program) = 0;
};

}  // namespace app
