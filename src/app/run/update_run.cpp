#include "app/run/update_run.h"

#include <optional>

#include "app/apply/apply_update.h"
#include "app/apply/host.h"
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
// targetStarted is set when the apply step started the run target itself.
RunOutcome UpdateTo(Roles& roles, const RunInput& input, const Offer& offer, ProcessWatch* host,
                    bool& targetStarted) {
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
        StartInstaller(roles, packagePath);
        return RunOutcome::InstallerStarted;
    }
    if (!CanWriteFolder(roles, input.appFolder)) {
        const ElevatedApply elevated = ApplyElevated(roles, input);
        held.reset();
        targetStarted = elevated.targetStarted;
        if (elevated.outcome == RunOutcome::ArchiveApplied)
            DeleteUnpackedPackage(roles, packagePath);
        return elevated.outcome;
    }
    const bool applied = UnpackAndSwap(roles, input, packagePath);
    held.reset();
    if (!applied) return RunOutcome::ArchiveNotApplied;
    DeleteUnpackedPackage(roles, packagePath);
    return RunOutcome::ArchiveApplied;
}

}  // namespace

RunEnd RunUpdate(const std::u16string& launchString, Roles& roles) {
    const LaunchOptions options = OptionsOf(launchString);
    const std::u16string appFolder = AppFolderOf(roles.processes.ModulePath());
    // A second updater for the same application ends at once and shows nothing: the first one
    // is already asking or downloading.
    const RunLockClaim lock = roles.processes.ClaimRunLock(appFolder);
    if (lock.state == RunLockClaim::State::HeldByAnother) {
        return {RunOutcome::AnotherRunActive, 0, {}, options};
    }
    roles.log.Write(u"updater " + std::u16string(kUpdaterVersion) + u", launch string: " +
                    LaunchStringForLog(launchString));
    for (const std::u16string& word : options.unknown) {
        roles.log.Write(u"unknown option ignored: " + word);
    }
    const std::optional<LaunchString> launch = ReadLaunchString(launchString);
    if (lock.state == RunLockClaim::State::NotCreated) {
        // Going on unlocked could let two runs swap the same folder at once.
        roles.log.Write(u"the one-run lock could not be created, error " +
                        base::DecimalText(lock.error) + u"; stopping");
        StartWorkFolder(roles);
        return {RunOutcome::Failed, launch ? launch->hostWindow : 0, {}, options};
    }
    if (!launch) return {RunOutcome::ParameterError, 0, {}, options};
    const std::optional<std::u16string> workFolder = StartWorkFolder(roles);
    if (!workFolder) return {RunOutcome::Failed, launch->hostWindow, {}, options};
    const RunInput input{*launch, options, appFolder, *workFolder};
    RunEnd end{RunOutcome::Failed, input.launch.hostWindow, {}, options};
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

    bool targetStarted = false;
    end.outcome = UpdateTo(roles, input, manifest.offer, host.process.get(), targetStarted);
    // The user gets the application back, old or new.
    if (!targetStarted && (end.outcome == RunOutcome::ArchiveApplied ||
                           end.outcome == RunOutcome::ArchiveNotApplied)) {
        end.startAfterwards = input.appFolder + u"\\" + manifest.offer.runTarget;
    }
    return end;
}

int ExitCodeOf(const RunEnd& end) {
    return end.options.given ? RowOf(end.outcome).exitCode : kExitDone;
}

int RunAndReport(const std::u16string& launchString, Roles& roles) {
    const RunEnd end = RunUpdate(launchString, roles);
    ReportOutcome(roles, end.outcome, end.hostWindow, end.options);
    if (!end.startAfterwards.empty()) roles.processes.OpenWithShell(end.startAfterwards);
    return ExitCodeOf(end);
}

}  // namespace app
