#include "app/apply/apply_update.h"

#include "app/apply/repair.h"
#include "app/apply/staged_swap.h"
#include "app/apply/unpack.h"
#include "app/work_folder/make.h"
#include "base/text.h"

namespace app {
namespace {

// The run target as a whole path; empty when the manifest names none.
std::u16string RunTargetPath(const ApplyRequest& request) {
    return request.runTarget.empty() ? std::u16string()
                                     : request.appFolder + u"\\" + request.runTarget;
}

Started StartLogged(Roles& roles, const std::u16string& file, StartWith how) {
    Started started = roles.processes.Start(file, how);
    roles.log.Write(started.started ? u"started " + file
                                    : u"could not start " + file + u": error " +
                                          base::DecimalText(started.error));
    return started;
}

// The old version after an update that did not happen: the user gets the application back.
void StartOldVersion(Roles& roles, const ApplyRequest& request) {
    StartRunTarget(roles, request.appFolder, request.runTarget);
}

// Starts the new version and watches it for a while: false when it could not be started or
// ended by itself with an exit code other than 0.
bool NewVersionStarts(Roles& roles, const ApplyRequest& request) {
    const std::u16string target = RunTargetPath(request);
    if (target.empty()) {
        roles.log.Write(u"no run target: nothing started");
        return true;
    }
    // Before the start: the new version may start an updater at once, which must wait.
    roles.processes.AnnounceHealthWatch();
    const Started started = StartLogged(roles, target, StartWith::Program);
    if (!started.started) return false;
    if (!started.process) return true;  // handed to a program that runs already
    switch (started.process->WaitForEnd(kHealthWatchMs)) {
        case WaitResult::StillRunning:
            roles.log.Write(u"the new version runs after " + base::DecimalText(kHealthWatchMs) +
                            u" ms");
            return true;
        case WaitResult::Failed:
            roles.log.Write(u"the new version could not be watched; it is kept");
            return true;
        case WaitResult::Ended:
            break;
    }
    const std::uint32_t code = started.process->ExitCode();
    roles.log.Write(u"the new version ended within " + base::DecimalText(kHealthWatchMs) +
                    u" ms with exit code " + base::DecimalText(code));
    return code == 0;
}

}  // namespace

void StartRunTarget(Roles& roles, const std::u16string& appFolder,
                    const std::u16string& runTarget) {
    const std::u16string target = RunTargetPath({appFolder, {}, runTarget});
    if (!target.empty()) StartLogged(roles, target, StartWith::Program);
}

bool IsProgramFile(std::u16string_view file) {
    if (file.size() < 4) return false;
    const std::u16string_view ending = file.substr(file.size() - 4);
    return base::EqualsIgnoringAsciiCase(ending, u".exe") ||
           base::EqualsIgnoringAsciiCase(ending, u".com");
}

bool StartInstaller(Roles& roles, const std::u16string& packagePath) {
    return StartLogged(roles, packagePath, StartWith::Shell).started;
}

ApplyResult ApplyArchive(Roles& roles, const ApplyRequest& request) {
    const std::u16string appFolder = request.appFolder + u"\\";
    const std::u16string number = GetRunNumber(roles);
    const SwapFolders folders{appFolder + std::u16string(kStagePrefix) + number + u"\\", appFolder,
                              appFolder + std::u16string(kBackupPrefix) + number + u"\\"};
    const bool unpacked = Unpack(roles, appFolder + u"7z.exe", request.packagePath, folders.stage);
    const SwapResult swapped = unpacked ? SwapInStagedTree(roles, folders) : SwapResult::AsItWas;
    // Emptied by the swap, or still full after a failure: of no further use either way.
    if (roles.files.KindOf(folders.stage) != base::EntryKind::None) {
        RemoveOwnFolder(roles, folders.stage);
    }
    switch (swapped) {
        case SwapResult::Broken:
            return ApplyResult::Broken;
        case SwapResult::AsItWas:
            StartOldVersion(roles, request);
            return ApplyResult::NotApplied;
        case SwapResult::Placed:
            break;
    }
    if (NewVersionStarts(roles, request)) {
        FinishSwap(roles, folders);
        roles.log.Write(u"apply: done");
        return ApplyResult::Applied;
    }
    roles.log.Write(u"apply: the new version did not start well; undoing the update");
    if (UndoPlacedSwap(roles, folders) == SwapResult::Broken) return ApplyResult::Broken;
    StartOldVersion(roles, request);
    return ApplyResult::Unhealthy;
}

}  // namespace app
