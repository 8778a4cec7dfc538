#include "app/run/update_run.h"

#include <optional>

#include "app/apply/apply_update.h"
#include "app/apply/host.h"
#include "app/apply/repair.h"
#include "app/elevate/elevated_apply.h"
#include "app/log/download_log.h"
#include "app/manifest/read_manifest.h"
#include "app/package/delete_package.h"
#include "app/package/fetch.h"
#include "app/package/package_hold.h"
#include "app/run/run_input.h"
#include "app/run/updater_version.h"
#include "app/user/boxes.h"
#include "app/user/question.h"
#include "app/work_folder/cleanup.h"
#include "app/work_folder/make.h"
#include "app/work_folder/run_lock.h"
#include "base/text.h"

namespace app {
namespace {

// Old work folders go and this run's is made; the log moves into it. None when no fresh one
// could be made.
std::optional<std::u16string> StartWorkFolder(Roles& roles) {
    RemoveOldWorkFolders(roles);
    const std::optional<std::u16string> workFolder = MakeFreshWorkFolder(roles);
    if (!workFolder) return std::nullopt;
    roles.log.UseFolder(*workFolder);
    roles.log.Write(u"work folder " + *workFolder);
    return workFolder;
}

// An unpacked archive is of no further use; an installer may still be running from its file.
void DeleteUnpackedPackage(Roles& roles, const std::u16string& packagePath) {
    const base::FileResult removed = DeletePackage(roles.files, packagePath);
    roles.log.Write(removed.Ok()
                        ? u"package deleted after unpacking"
                        : u"package not deleted: error " + base::DecimalText(removed.systemCode));
}

// From the chosen offer on: ask, fetch, check, tell the host, put the package to use.
RunOutcome UpdateTo(Roles& roles, const RunInput& input, const Offer& offer, ProcessWatch* host) {
    const std::int32_t hostWindow = input.launch.hostWindow;
    const bool silent = input.options.silent;
    if (!UserAgreesToUpdate(roles, hostWindow, offer, silent)) return RunOutcome::Declined;

    const std::u16string packagePath = input.workFolder + offer.name;
    const FetchedPackage fetched = FetchPackage(roles, hostWindow, offer, packagePath, !silent);
    if (fetched.end == PackageFetch::Cancelled) return RunOutcome::Cancelled;
    if (fetched.end == PackageFetch::Failed) return RunOutcome::Failed;
    // Held from the digest check until the archiver has exited or the installer has started.
    std::unique_ptr<base::HeldFile> held =
        HoldCheckedPackage(roles, offer, packagePath, fetched.digest);
    if (!held) return RunOutcome::Failed;

    TellHostAndWait(roles, hostWindow, host);
    if (offer.kind == PackageKind::Installer) {
        return StartInstaller(roles, packagePath) ? RunOutcome::InstallerStarted
                                                  : RunOutcome::InstallerNotStarted;
    }
    if (!CanWriteFolder(roles, input.appFolder)) {
        const ElevatedApply elevated = ApplyElevated(roles, input);
        held.reset();
        if (elevated.startTargetHere) StartRunTarget(roles, input.appFolder, offer.runTarget);
        if (elevated.outcome == RunOutcome::ArchiveApplied)
            DeleteUnpackedPackage(roles, packagePath);
        return elevated.outcome;
    }
    const ApplyResult result = ApplyArchive(roles, {input.appFolder, packagePath, offer.runTarget});
    held.reset();
    switch (result) {
        case ApplyResult::Applied:
            DeleteUnpackedPackage(roles, packagePath);
            return RunOutcome::ArchiveApplied;
        case ApplyResult::NotApplied:
            return RunOutcome::ArchiveNotApplied;
        case ApplyResult::Unhealthy:
            return RunOutcome::NewVersionFailed;
        case ApplyResult::Broken:
            break;
    }
    return RunOutcome::ArchiveBroken;
}

}  // namespace

RunEnd RunUpdate(const std::u16string& launchString, Roles& roles) {
    const LaunchOptions options = OptionsOf(launchString);
    const std::u16string appFolder = AppFolderOf(roles.processes.ModulePath());
    // A second updater for the same application ends at once and shows nothing: the first one
    // is already asking or downloading. One started by the new version the first is watching
    // waits for it instead.
    const RunLockClaim lock = roles.processes.ClaimRunLock(appFolder);
    if (lock.state == RunLockClaim::State::HeldByAnother &&
        !roles.processes.WaitForRunLock(kRunLockWaitMs)) {
        return {RunOutcome::AnotherRunActive, 0, options};
    }
    roles.log.Write(u"updater " + std::u16string(kUpdaterVersion) + u", launch string: " +
                    LaunchStringForLog(launchString));
    for (const std::u16string& word : options.unknown) {
        roles.log.Write(u"unknown option ignored: " + word);
    }
    if (lock.state == RunLockClaim::State::NotCreated) {
        // Going on unlocked could let two runs swap or repair the same folder at once.
        roles.log.Write(u"the one-run lock could not be created, error " +
                        base::DecimalText(lock.error) + u"; stopping");
        const std::optional<LaunchString> launch = ReadLaunchString(launchString);
        StartWorkFolder(roles);
        return {RunOutcome::Failed, launch ? launch->hostWindow : 0, options};
    }
    // Before anything else, however bad the launch string: a swap a crash interrupted is ended.
    RepairApplicationFolder(roles, appFolder);
    const std::optional<LaunchString> launch = ReadLaunchString(launchString);
    if (!launch) return {RunOutcome::ParameterError, 0, options};
    const std::optional<std::u16string> workFolder = StartWorkFolder(roles);
    if (!workFolder) return {RunOutcome::Failed, launch->hostWindow, options};
    const RunInput input{*launch, options, appFolder, *workFolder};
    RunEnd end{RunOutcome::Failed, input.launch.hostWindow, options};
    // Opened now, while its window surely exists, so that the process waited for later is
    // this one even if its id is given to another after it ended.
    const HostLookup host = FindHost(roles, input.launch.hostWindow);

    Manifest manifest = ReadManifest(input, roles);
    if (manifest.verdict == Manifest::Verdict::UpToDate) end.outcome = RunOutcome::UpToDate;
    if (manifest.verdict != Manifest::Verdict::Offered) return end;
    if (!CheckOffer(manifest.offer, manifest.isSigned, roles.log)) return end;
    if (options.check) {
        end.outcome = RunOutcome::OnOffer;
        return end;
    }

    end.outcome = UpdateTo(roles, input, manifest.offer, host.process.get());
    return end;
}

int ExitCodeOf(const RunEnd& end) {
    return end.options.given ? RowOf(end.outcome).exitCode : kExitDone;
}

int RunAndReport(const std::u16string& launchString, Roles& roles) {
    const RunEnd end = RunUpdate(launchString, roles);
    ReportOutcome(roles, end.outcome, end.hostWindow, end.options);
    return ExitCodeOf(end);
}

}  // namespace app
