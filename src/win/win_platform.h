#pragma once
// app::Platform over the real Win32 calls.

#include "app/file_run_log.h"
#include "app/platform.h"
#include "win/clock.h"
#include "win/file_system.h"
#include "win/win_file_system.h"

namespace win {

class WinPlatform final : public app::Platform {
  public:
    explicit WinPlatform(net::NetApi& net);

    int ShowMessageBox(std::int32_t owner, const std::u16string& text,
                       const std::u16string& caption, std::uint32_t flags) override;
    bool WindowExists(std::int32_t window) override;
    void Pause(std::uint32_t milliseconds) override;
    std::u16string TempPath() override;
    std::u16string ModulePath() override;
    std::int64_t NowSeconds() override;
    void OpenWithShell(const std::u16string& file) override;
    net::NetApi& Net() override { return net; }
    base::FileSystem& BaseFiles() override { return baseFiles; }
    base::Clock& Clock() override { return clock; }
    app::RunLog& Log() override { return log; }

    // --- putting an update in place safely ---
    app::HostLookup OpenWindowProcess(std::int32_t window) override;
    app::SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                       std::uint32_t milliseconds) override;
    app::HiddenRun RunHiddenWithin(const std::u16string& application,
                                   const std::u16string& commandLine,
                                   std::uint32_t milliseconds) override;
    app::FileSystem& Files() override { return files; }
    // --- end of putting an update in place ---

    // --- the publisher's key, manifest signatures and package digests (win_trust.cpp) ---
    std::optional<std::string> ReadSmallFile(const std::u16string& path,
                                             std::size_t maxBytes) override;
    std::optional<app::Sha256Digest> FileSha256(const std::u16string& path) override;
    std::optional<app::Sha256Digest> Sha256(std::string_view bytes) override;
    bool VerifyP256(const app::P256PublicKey& key, const app::Sha256Digest& digest,
                    const app::P256Signature& signature) override;

    // --- progress window, work folders, one run at a time ---
    app::TransferEnd TransferWithProgress(std::int32_t owner,
                                          const app::Transfer& transfer) override;
    std::uint32_t MakeFolder(const std::u16string& path) override;
    std::uint32_t RemoveFile(const std::u16string& path) override;
    std::vector<app::FolderAge> ListWorkFolders(const std::u16string& parent) override;
    std::uint32_t RemoveFolderTree(const std::u16string& path) override;
    bool ClaimRunLock(const std::u16string& appFolder) override;

  private:
    net::NetApi& net;
    app::FileRunLog log;
    LegacyFileSystem files;
    WinFileSystem baseFiles;
    WinClock clock;
};

}  // namespace win
