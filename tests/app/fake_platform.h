#pragma once
// Records every platform call of a run as one line of text, in order, downloads included, and
// answers the one box a run may ask.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/platform.h"
#include "fake_file_system.h"
#include "fakes/memory_file_system.h"
#include "net/fake_net_api.h"

namespace apptest {

using net::testing::Utf8;

class FakePlatform final : public app::Platform {
  public:
    FakePlatform() {
        net.requestsOnly = true;
        baseFiles.AddFolder(u"C:\\Temp");
    }

    int ShowMessageBox(std::int32_t owner, const std::u16string& text,
                       const std::u16string& caption, std::uint32_t flags) override {
        log.push_back("box " + std::to_string(owner) + " " + Utf8(text) + " " + Utf8(caption) +
                      " " + std::to_string(flags));
        return answer;
    }
    bool WindowExists(std::int32_t window) override { return window != 0 && window != goneWindow; }
    void Pause(std::uint32_t milliseconds) override {
        log.push_back("pause " + std::to_string(milliseconds));
    }
    std::u16string TempPath() override { return tempPath; }
    std::u16string ModulePath() override { return modulePath; }
    std::int64_t NowSeconds() override { return now; }
    void OpenWithShell(const std::u16string& file) override { log.push_back("open " + Utf8(file)); }
    net::NetApi& Net() override { return net; }
    base::FileSystem& BaseFiles() override { return baseFiles; }
    base::Clock& Clock() override { return net.clock; }
    app::RunLog& Log() override { return runLog; }

    // --- putting an update in place safely ---
    struct HostWatch final : app::ProcessWatch {
        explicit HostWatch(app::WaitResult result) : result(result) {}
        app::WaitResult WaitForEnd(std::uint32_t) override { return result; }
        app::WaitResult result;
    };
    app::HostLookup OpenWindowProcess(std::int32_t window) override {
        app::HostLookup host;
        if (window == 0 || window == goneWindow) return host;
        host.processId = 4242;
        host.process = std::make_unique<HostWatch>(hostWait);
        return host;
    }
    app::SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                       std::uint32_t) override {
        log.push_back("send " + std::to_string(window) + " " + std::to_string(message));
        return {true, 0};
    }
    app::HiddenRun RunHiddenWithin(const std::u16string& application,
                                   const std::u16string& commandLine,
                                   std::uint32_t milliseconds) override {
        log.push_back("run " + Utf8(application) + " | " + Utf8(commandLine));
        archiverLimitMs = milliseconds;
        if (archiverRun.state == app::HiddenRun::State::Ended && unpack) unpack();
        return archiverRun;
    }
    app::FileSystem& Files() override { return files; }

    FakeFileSystem files;
    // The archiver ends with 0 having unpacked nothing, so the run's swap has folders to use.
    void ArchiverSucceeds() {
        archiverRun.state = app::HiddenRun::State::Ended;
        std::u16string work = tempPath + u"UpdateTemp";
        for (const char digit : std::to_string(now)) work += static_cast<char16_t>(digit);
        files.AddFolder(work);
        files.AddFolder(u"C:\\App");
    }
    app::WaitResult hostWait = app::WaitResult::Ended;
    app::HiddenRun archiverRun{};  // not started
    std::function<void()> unpack;  // what a starting archiver writes into files
    std::uint32_t archiverLimitMs = 0;
    // --- end of putting an update in place ---

    // --- trust: files are baseFiles'; digests and verdicts are scripted ---
    std::optional<std::string> ReadSmallFile(const std::u16string& path,
                                             std::size_t maxBytes) override {
        std::string bytes;
        if (!baseFiles.ReadSmallFile(path, maxBytes, bytes).Ok()) return std::nullopt;
        return bytes;
    }
    std::optional<app::Sha256Digest> FileSha256(const std::u16string& path) override {
        if (baseFiles.KindOf(path) != base::EntryKind::File) return std::nullopt;
        return fileDigest;
    }
    std::optional<app::Sha256Digest> Sha256(std::string_view) override { return fileDigest; }
    bool VerifyP256(const app::P256PublicKey&, const app::Sha256Digest&,
                    const app::P256Signature&) override {
        return signatureHolds;
    }

    // --- progress window, work folders, one run at a time ---
    // The transfer runs inline, as if on the window's worker; windowEnds other than Done plays
    // the user pressing Cancel or the window's 60 s rule, either of which stops the worker.
    app::TransferEnd TransferWithProgress(std::int32_t owner,
                                          const app::Transfer& transfer) override {
        progressOwners.push_back(owner);
        const bool interrupted = windowEnds != app::TransferEnd::Done;
        const bool stored =
            transfer([interrupted](std::int64_t, std::int64_t) { return !interrupted; }, true);
        if (interrupted) return windowEnds;
        return stored ? app::TransferEnd::Done : app::TransferEnd::Failed;
    }
    std::uint32_t MakeFolder(const std::u16string& path) override {
        if (makeFolderError != 0) return makeFolderError;
        return baseFiles.MakeFolder(path).systemCode;
    }
    std::uint32_t RemoveFile(const std::u16string& path) override {
        removedFiles.push_back(path);
        baseFiles.RemoveFile(path);
        return 0;
    }
    std::vector<app::FolderAge> ListWorkFolders(const std::u16string&) override {
        return workFolders;
    }
    std::uint32_t RemoveFolderTree(const std::u16string& path) override {
        removedFolders.push_back(path);
        const bool stuck =
            std::find(stuckFolders.begin(), stuckFolders.end(), path) != stuckFolders.end();
        return stuck ? 32 : 0;  // ERROR_SHARING_VIOLATION
    }
    bool ClaimRunLock(const std::u16string&) override { return !otherUpdaterRuns; }

    app::TransferEnd windowEnds = app::TransferEnd::Done;
    bool otherUpdaterRuns = false;
    std::uint32_t makeFolderError = 0;
    std::vector<std::int32_t> progressOwners;
    std::vector<std::u16string> removedFiles, removedFolders;
    std::vector<app::FolderAge> workFolders;   // what the temporary directory holds
    std::vector<std::u16string> stuckFolders;  // folders that cannot be removed

    net::testing::FakeNetApi net;
    fakes::MemoryFileSystem baseFiles;  // the work folder and the files beside the updater
    std::vector<std::string>& log = net.log;
    int answer = 6;  // IDYES
    std::u16string tempPath = u"C:\\Temp\\";
    std::u16string modulePath = u"C:\\App\\updater.exe";
    std::int64_t now = 1700000000;
    std::int32_t goneWindow = -1;        // a handle that names no window any more
    app::Sha256Digest fileDigest{0xab};  // of every file that exists and of any bytes
    bool signatureHolds = true;
    struct Lines final : app::RunLog {
        void Write(std::u16string_view line) override { lines.emplace_back(line); }
        std::vector<std::u16string> lines;
    } runLog;
};

}  // namespace apptest
