#pragma once
// One fake a role of the run, each able to fail any call, and a whole fake run that wires them
// to the fake network. Calls the user, the host and the server would see are recorded in order,
// one line each, beside the fake network's "GET <address>" lines.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/run/roles.h"
#include "fakes/manual_clock.h"
#include "fakes/memory_file_system.h"
#include "net/fake_net_api.h"

namespace apptest {

using net::testing::Utf8;
using Seen = std::vector<std::string>;

class FakeDesktop final : public app::Desktop {
  public:
    explicit FakeDesktop(Seen& record) : seen(record) {}

    app::BoxAnswer ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                  const std::u16string& caption, app::BoxKind kind) override {
        static constexpr const char* kKinds[] = {"error", "information", "question"};
        seen.push_back("box " + std::to_string(owner) + " " + Utf8(text) + " " + Utf8(caption) +
                       " " + kKinds[static_cast<int>(kind)]);
        return answer;
    }
    app::Language UserLanguage() override { return app::Language::Chinese; }
    bool WindowExists(std::int32_t window) override { return window != 0; }
    // The transfer runs inline, as if on the window's worker; windowEnds other than Done plays
    // the user pressing Cancel or the window's 60 s rule, either of which stops the worker.
    app::TransferEnd TransferWithProgress(std::int32_t owner, const app::Transfer& transfer,
                                          bool showWindow) override {
        progressOwners.push_back(showWindow ? owner : kNoWindow);
        const bool interrupted = windowEnds != app::TransferEnd::Done;
        const bool stored =
            transfer([interrupted](std::int64_t, std::int64_t) { return !interrupted; }, true);
        if (interrupted) return windowEnds;
        return stored ? app::TransferEnd::Done : app::TransferEnd::Failed;
    }

    app::BoxAnswer answer{app::BoxAnswer::Button::Yes, 6};  // a box not shown: {}
    app::TransferEnd windowEnds = app::TransferEnd::Done;
    std::vector<std::int32_t> progressOwners;  // kNoWindow for a download shown in no window
    static constexpr std::int32_t kNoWindow = -999;

  private:
    Seen& seen;
};

class FakeProcesses final : public app::Processes {
  public:
    explicit FakeProcesses(Seen& record) : seen(record) {}

    struct HostWatch final : app::ProcessWatch {
        explicit HostWatch(app::WaitResult answer, std::uint32_t code = 0,
                           std::function<void()> meanwhile = {})
            : result(answer), exitCode(code), duringWait(std::move(meanwhile)) {}
        app::WaitResult WaitForEnd(std::uint32_t) override {
            if (duringWait) duringWait();
            return result;
        }
        std::uint32_t ExitCode() override { return exitCode; }
        app::WaitResult result;
        std::uint32_t exitCode;
        std::function<void()> duringWait;
    };
    // How the next start goes; a start with none scripted runs on past any wait.
    struct FakeStart {
        bool started = true;
        app::WaitResult wait = app::WaitResult::StillRunning;
        std::uint32_t exitCode = 0;
        bool watchable = true;  // else the shell gave no process
    };
    app::HostLookup OpenWindowProcess(std::int32_t window) override {
        app::HostLookup host;
        if (window == 0) return host;
        host.processId = 4242;
        host.process = std::make_unique<HostWatch>(hostWait, 0, duringHostWait);
        return host;
    }
    app::SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                       std::uint32_t) override {
        seen.push_back("send " + std::to_string(window) + " " + std::to_string(message));
        return {true, 0};
    }
    app::HiddenRun RunHiddenWithin(const std::u16string& application,
                                   const std::u16string& commandLine,
                                   std::uint32_t milliseconds) override {
        seen.push_back("run " + Utf8(application) + " | " + Utf8(commandLine));
        archiverLimitMs = milliseconds;
        if (archiverRun.state == app::HiddenRun::State::Ended && unpack) unpack();
        return archiverRun;
    }
    app::Started Start(const std::u16string& file, app::StartWith how) override {
        seen.push_back((how == app::StartWith::Shell ? "open " : "start ") + Utf8(file));
        if (onStart) onStart();
        return NextStart();
    }
    // The next scripted start, or one that runs on.
    app::Started NextStart() {
        const FakeStart next = starts.empty() ? FakeStart{} : starts.front();
        if (!starts.empty()) starts.erase(starts.begin());
        app::Started started;
        started.started = next.started;
        started.error = next.started ? 0 : 193;
        if (next.started && next.watchable) {
            started.process = std::make_unique<HostWatch>(next.wait, next.exitCode);
        }
        return started;
    }
    app::RunLockClaim ClaimRunLock(const std::u16string&) override {
        if (lockFails) return {app::RunLockClaim::State::NotCreated, 5};
        return {otherUpdaterRuns ? app::RunLockClaim::State::HeldByAnother
                                 : app::RunLockClaim::State::Claimed};
    }
    bool WaitForRunLock(std::uint32_t milliseconds) override {
        seen.push_back("wait for the lock " + std::to_string(milliseconds));
        return otherUpdaterWatches;
    }
    void AnnounceHealthWatch() override { seen.push_back("watch announced"); }
    std::u16string ModulePath() override { return modulePath; }
    std::u16string TempPath() override { return tempPath; }
    std::uint32_t OwnProcessId() override { return 77; }
    app::ElevatedRun RunElevated(const std::u16string& parameters) override {
        seen.push_back("elevate " + Utf8(parameters));
        if (elevatedCopy && elevated.state == app::ElevatedRun::State::Ended) {
            elevated.exitCode = elevatedCopy(parameters);
        }
        return elevated;
    }
    app::Started StartAsChildOf(std::uint32_t parentId, const std::u16string& program) override {
        seen.push_back("start as child of " + std::to_string(parentId) + " " + Utf8(program));
        if (onStart) onStart();
        if (childStartError != 0) return {false, nullptr, childStartError};
        return NextStart();
    }

    app::WaitResult hostWait = app::WaitResult::Ended;
    std::function<void()> duringHostWait;  // what other processes do while the host closes
    app::HiddenRun archiverRun{};          // not started
    std::function<void()> unpack;          // what a starting archiver writes
    std::uint32_t archiverLimitMs = 0;
    bool otherUpdaterRuns = false;
    bool lockFails = false;  // the lock cannot even be created
    app::ElevatedRun elevated{app::ElevatedRun::State::Ended, 42, 0};
    // Plays the elevated copy on the parameters it was given; its result is the exit code.
    std::function<std::uint32_t(const std::u16string&)> elevatedCopy;
    std::uint32_t childStartError = 0;
    bool otherUpdaterWatches = false;  // it watches a new version: waiting gets the lock
    std::vector<FakeStart> starts;
    std::function<void()> onStart;  // what a started program does to the files
    std::u16string modulePath = u"C:\\App\\updater.exe";
    std::u16string tempPath = u"C:\\Temp\\";

  private:
    Seen& seen;
};

// Digests and verdicts are scripted: every file there and all bytes have fileDigest.
class FakeTrust final : public app::Trust {
  public:
    explicit FakeTrust(base::FileSystem& fileSystem) : files(fileSystem) {}

    std::optional<app::Sha256Digest> FileSha256(const std::u16string& path) override {
        if (files.KindOf(path) != base::EntryKind::File) return std::nullopt;
        return fileDigest;
    }
    std::optional<app::Sha256Digest> Sha256(std::string_view) override { return fileDigest; }
    // Its digest is fileDigest; what it was fed, in order, is kept in streamed.
    std::unique_ptr<app::Sha256Stream> StartSha256() override {
        struct Stream final : app::Sha256Stream {
            explicit Stream(FakeTrust& owner) : trust(owner) { trust.streamed.clear(); }
            bool Add(std::string_view bytes) override {
                trust.streamed += bytes;
                return !trust.streamFails;
            }
            std::optional<app::Sha256Digest> Finish() override { return trust.fileDigest; }
            FakeTrust& trust;
        };
        return std::make_unique<Stream>(*this);
    }
    bool VerifyP256(const app::P256PublicKey& key, const app::Sha256Digest&,
                    const app::P256Signature&) override {
        return signatureHolds && (holdsForKeyEnding == 0 || key.back() == holdsForKeyEnding);
    }

    app::Sha256Digest fileDigest{0xab};
    bool signatureHolds = true;
    std::uint8_t holdsForKeyEnding = 0;  // else only a key whose last byte is this verifies
    std::string streamed;                // what the latest stream was fed
    bool streamFails = false;

  private:
    base::FileSystem& files;
};

// Serials by folder; a failing read or write returns its code.
class FakeSerialMemory final : public app::SerialMemory {
  public:
    app::RememberedSerial Recall(const std::u16string& appFolder) override {
        const auto found = serials.find(appFolder);
        return {readFails == 0, found == serials.end() ? 0 : found->second, readFails};
    }
    std::uint32_t Remember(const std::u16string& appFolder, std::uint64_t serial) override {
        if (writeFails == 0) serials[appFolder] = serial;
        return writeFails;
    }

    std::map<std::u16string, std::uint64_t> serials;
    std::uint32_t readFails = 0, writeFails = 0;
};

struct LogLines final : app::RunLog {
    void Write(std::u16string_view line) override { lines.emplace_back(line); }
    std::vector<std::u16string> lines;
};

// A whole run's roles, everything in memory: the temporary directory is C:\Temp, the
// application folder C:\App, and the clock is the fake network's, which its chunks move.
struct FakeRun {
    FakeRun() {
        net.requestsOnly = true;
        files.AddFolder(processes.tempPath);
        files.AddFolder(u"C:\\App");
        clock.calendarSeconds = 1700000000;
    }
    // The work folder a run of this second makes first, and the stage it unpacks into.
    std::u16string WorkFolder() const { return processes.tempPath + u"UpdateTemp" + Second(); }
    std::u16string Stage() const { return u"C:\\App\\UpdateStage" + Second() + u"\\"; }
    std::u16string Second() const {
        const std::string seconds = std::to_string(clock.calendarSeconds);
        return {seconds.begin(), seconds.end()};
    }

    net::testing::FakeNetApi net;
    Seen& seen = net.log;
    fakes::MemoryFileSystem files;
    FakeDesktop desktop{seen};
    FakeProcesses processes{seen};
    FakeTrust trust{files};
    fakes::ManualClock& clock = net.clock;
    LogLines log;
    FakeSerialMemory serials;
    int exitCode = -1;  // what the whole run returned
    app::Roles roles{desktop, processes, files, trust, clock, net, log, serials};
};

}  // namespace apptest
