#pragma once
// The thin seam between the update run and the platform: one method a Win32 call the run
// makes. win::WinPlatform forwards each to the real API; tests record the calls with a fake.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_system.h"
#include "app/processes.h"
#include "app/progress_transfer.h"
#include "app/run_log.h"
#include "app/trust_types.h"
#include "base/clock.h"
#include "base/file_system.h"
#include "net/net_api.h"

namespace app {

// Message box flags and answers the run passes through unchanged.
inline constexpr std::uint32_t kBoxIconError = 0x10;        // MB_OK | MB_ICONERROR
inline constexpr std::uint32_t kBoxIconInformation = 0x40;  // MB_OK | MB_ICONINFORMATION
inline constexpr std::uint32_t kBoxYesNoQuestion = 0x24;    // MB_YESNO | MB_ICONQUESTION
inline constexpr int kAnswerYes = 6;                        // IDYES
inline constexpr int kAnswerNo = 7;                         // IDNO

// A sub-folder of the temporary directory and when it was last written to.
struct FolderAge {
    std::u16string name;                // without path
    std::int64_t lastWriteSeconds = 0;  // seconds since 1970-01-01 UTC
};

class Platform {
  public:
    virtual ~Platform() = default;

    // MessageBoxW(owner, text, caption, flags); 0 or below when the box could not be shown.
    virtual int ShowMessageBox(std::int32_t owner, const std::u16string& text,
                               const std::u16string& caption, std::uint32_t flags) = 0;
    // IsWindow(window): whether the handle still names a window.
    virtual bool WindowExists(std::int32_t window) = 0;
    // Sleep(milliseconds)
    virtual void Pause(std::uint32_t milliseconds) = 0;
    // GetTempPathW, whole; empty when the system gives none.
    virtual std::u16string TempPath() = 0;
    // GetModuleFileNameW(no module), whole; empty on failure.
    virtual std::u16string ModulePath() = 0;
    // Calendar time in seconds since 1970-01-01 UTC.
    virtual std::int64_t NowSeconds() = 0;
    // ShellExecuteW(no owner, "open", file, no parameters, no folder, SW_SHOW)
    virtual void OpenWithShell(const std::u16string& file) = 0;
    // The download seam the run's downloaders use.
    virtual net::NetApi& Net() = 0;
    // The file system and the clock the downloads go through.
    virtual base::FileSystem& BaseFiles() = 0;
    virtual base::Clock& Clock() = 0;
    // Where the run writes its steps.
    virtual RunLog& Log() = 0;

    // --- putting an update in place safely ---
    // GetWindowThreadProcessId(window), then OpenProcess(SYNCHRONIZE) on that process.
    virtual HostLookup OpenWindowProcess(std::int32_t window) = 0;
    // SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, milliseconds).
    virtual SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                          std::uint32_t milliseconds) = 0;
    // CreateProcessW(application, commandLine) hidden, standard input and output on NUL; waits
    // at most milliseconds for the process to end, and ends it when it has not.
    virtual HiddenRun RunHiddenWithin(const std::u16string& application,
                                      const std::u16string& commandLine,
                                      std::uint32_t milliseconds) = 0;
    // The files the update is put in place with.
    virtual FileSystem& Files() = 0;
    // --- end of putting an update in place ---

    // --- the publisher's key, manifest signatures and package digests ---
    // The whole file (CreateFileW, ReadFile); empty when it cannot be opened or read, or holds
    // more than maxBytes bytes.
    virtual std::optional<std::string> ReadSmallFile(const std::u16string& path,
                                                     std::size_t maxBytes) = 0;
    // SHA-256 of the file's bytes with CNG (BCRYPT_SHA256_ALGORITHM); empty when it cannot be
    // read or hashed.
    virtual std::optional<Sha256Digest> FileSha256(const std::u16string& path) = 0;
    // SHA-256 of bytes held in memory with CNG; empty when they cannot be hashed.
    virtual std::optional<Sha256Digest> Sha256(std::string_view bytes) = 0;
    // BCryptImportKeyPair (BCRYPT_ECCPUBLIC_BLOB of the key) and BCryptVerifySignature over
    // the digest; true only for a signature that verifies.
    virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                            const P256Signature& signature) = 0;

    // --- progress window, work folders, one run at a time ---
    // Runs transfer on a worker thread while this thread keeps a progress window owned by
    // owner (0: none), shown and redrawn as ProgressPacer decides and closed before returning.
    // Cancelled returns at once, whatever the transfer is waiting for; so does Stalled, once
    // less than 1 KiB arrived in 60 s (net::TransferWatch).
    virtual TransferEnd TransferWithProgress(std::int32_t owner, const Transfer& transfer) = 0;
    // CreateDirectoryW(path): 0 when made now, else GetLastError (kErrorAlreadyExists, ...).
    virtual std::uint32_t MakeFolder(const std::u16string& path) = 0;
    // DeleteFileW(path): 0 when deleted or not there, else GetLastError.
    virtual std::uint32_t RemoveFile(const std::u16string& path) = 0;
    // The sub-folders of parent (ending with a backslash) whose names start "UpdateTemp".
    virtual std::vector<FolderAge> ListWorkFolders(const std::u16string& parent) = 0;
    // Removes the folder and everything in it, never following links out of it: 0 when it is
    // gone, else the GetLastError of the first step that failed.
    virtual std::uint32_t RemoveFolderTree(const std::u16string& path) = 0;
    // Holds a named mutex for the application folder (case-insensitive) until the process
    // ends; false when another process holds it.
    virtual bool ClaimRunLock(const std::u16string& appFolder) = 0;
};

}  // namespace app
