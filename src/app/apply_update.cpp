#include "app/apply_update.h"

#include "app/decimal_text.h"
#include "app/run_outcome.h"
#include "app/staged_swap.h"
#include "app/work_folder.h"

namespace app {
namespace {

void TellHost(Platform& platform, std::int32_t hostWindow) {
    // The host may save its work and close so that its files can be replaced; a hung host
    // must not hang the update.
    const SendResult sent =
        platform.SendToWindowWithin(hostWindow, kUpdateMessage, kHostAnswerLimitMs);
    platform.Log().Write(sent.answered
                             ? std::u16string(u"host: 0x467 answered")
                             : u"host: 0x467 not answered, error " + DecimalText(sent.error));
    platform.Pause(kPauseBeforeApplyMs);
}

void WaitForHost(Platform& platform, ProcessWatch* host) {
    if (!host) return;
    switch (host->WaitForEnd(kHostExitLimitMs)) {
        case WaitResult::Ended:
            platform.Log().Write(u"host: ended");
            break;
        case WaitResult::StillRunning:
            platform.Log().Write(u"host: still running after " + DecimalText(kHostExitLimitMs) +
                                 u" ms, going on");
            break;
        case WaitResult::Failed:
            platform.Log().Write(u"host: the wait failed, going on");
            break;
    }
}

// Only exit code 0 is success: 7-Zip ends with 1 for warnings such as files it could not
// write, 2 for a damaged or encrypted archive.
bool Unpack(Platform& platform, const std::u16string& archiver, const std::u16string& packagePath,
            const std::u16string& stage) {
    // Made here so that an archive without entries still leaves a folder to list.
    if (const std::uint32_t error = platform.Files().CreateFolder(stage)) {
        platform.Log().Write(u"unpack: could not create " + stage + u", error " +
                             DecimalText(error));
        return false;
    }
    const std::u16string commandLine = ArchiverCommandLine(packagePath, stage);
    platform.Log().Write(u"unpack: " + archiver + u" " + commandLine);
    const HiddenRun run = platform.RunHiddenWithin(archiver, commandLine, kArchiverLimitMs);
    switch (run.state) {
        case HiddenRun::State::NotStarted:
            platform.Log().Write(u"unpack: the archiver did not start, error " +
                                 DecimalText(run.error));
            return false;
        case HiddenRun::State::TimedOut:
            platform.Log().Write(u"unpack: the archiver was ended after " +
                                 DecimalText(kArchiverLimitMs) + u" ms");
            return false;
        case HiddenRun::State::Ended:
            platform.Log().Write(u"unpack: exit code " + DecimalText(run.exitCode));
            return run.exitCode == 0;
    }
    return false;
}

}  // namespace

std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& outFolder) {
    return u"7z x \"" + packagePath + u"\" -o\"" + outFolder + u"\" -aoa -y";
}

HostLookup FindHost(Platform& platform, std::int32_t hostWindow) {
    HostLookup host = platform.OpenWindowProcess(hostWindow);
    if (host.process) {
        platform.Log().Write(u"host: process " + DecimalText(host.processId) +
                             u" opened for waiting");
    } else {
        platform.Log().Write(u"host: no process to wait for (window " + DecimalText(hostWindow) +
                             u", process " + DecimalText(host.processId) + u", error " +
                             DecimalText(host.error) + u")");
    }
    return host;
}

bool ApplyUpdate(Platform& platform, const UpdateContext& context, ManifestResult result,
                 const std::u16string& appFolder, const std::u16string& packagePath,
                 ProcessWatch* host) {
    TellHost(platform, context.hostWindow);
    WaitForHost(platform, host);

    if (result != ManifestResult::ArchivePackage) {
        platform.Log().Write(u"install: starting " + packagePath);
        platform.OpenWithShell(packagePath);
        return false;
    }
    const SwapFolders folders{context.workFolder + u"stage\\", appFolder,
                              appFolder + u"UpdateBackup" + GetRunNumber(platform) + u"\\"};
    const bool applied = Unpack(platform, appFolder + u"7z.exe", packagePath, folders.stage) &&
                         SwapInStagedTree(platform, folders);
    platform.Log().Write(applied ? u"apply: done" : u"apply: failed");
    // The swap moves the files out of the stage but leaves its emptied folders behind.
    if (applied) {
        // Named without its closing backslash, as a folder to remove.
        const std::u16string stage = context.workFolder + u"stage";
        if (const std::uint32_t error = platform.RemoveFolderTree(stage)) {
            platform.Log().Write(u"could not remove " + stage + u": error " + DecimalText(error));
        }
    }
    // The user gets the application back, old or new.
    if (!applied) ShowOutcome(platform, RunOutcome::Failed, context.hostWindow);
    platform.OpenWithShell(appFolder + context.runTarget);
    return applied;
}

}  // namespace app
