#include "app/run/update_run.h"

#include "app/apply/apply_update.h"
#include "app/apply/host.h"
#include "app/manifest/package_name.h"
#include "app/manifest/read_manifest.h"
#include "app/package/delete_package.h"
#include "app/package/digest_check.h"
#include "app/package/fetch.h"
#include "app/run/launch_string.h"
#include "app/run/run_input.h"
#include "app/run/updater_version.h"
#include "app/user/boxes.h"
#include "app/user/question.h"
#include "app/work_folder/cleanup.h"
#include "app/work_folder/make.h"
#include "base/text.h"

namespace app {
namespace {

// The work folder, made now; the log moves into it.
void StartWorkFolder(Roles& roles, UpdateContext& context) {
    RemoveOldWorkFolders(roles);
    context.workFolder = MakeFreshWorkFolder(roles);
    roles.log.UseFolder(context.workFolder);
    roles.log.Write(u"work folder " + context.workFolder);
}

// The offer from the manifest, refused before anything is written under its name or fetched.
bool OfferIsUsable(Roles& roles, const UpdateContext& context) {
    // The name comes from the server.
    if (!StaysInWorkFolder(context.packageName)) {
        roles.log.Write(u"package name leaves the work folder: " + context.packageName);
        return false;
    }
    return PackageDigestIsUsable(roles, context);
}

// An unpacked archive is of no further use; an installer may still be running from its file.
void DeleteUnpackedPackage(Roles& roles, const std::u16string& packagePath) {
    const base::FileResult removed = DeletePackage(roles.files, packagePath);
    roles.log.Write(removed.Ok()
                        ? u"package deleted after unpacking"
                        : u"package not deleted: error " + base::DecimalText(removed.systemCode));
}

}  // namespace

RunOutcome RunUpdate(const std::u16string& launchString, UpdateContext& context, Roles& roles) {
    context.appFolder = GetAppFolder(roles);
    // A second updater for the same application ends at once and shows nothing: the first one
    // is already asking or downloading.
    if (!roles.processes.ClaimRunLock(context.appFolder)) return RunOutcome::AnotherRunActive;
    roles.log.Write(u"updater " + std::u16string(kUpdaterVersion) + u", launch string: " +
                    launchString);
    if (!ReadLaunchString(launchString, context)) return RunOutcome::ParameterError;
    StartWorkFolder(roles, context);
    // Opened now, while its window surely exists, so that the process waited for later is
    // this one even if its id is given to another after it ended.
    const HostLookup host = FindHost(roles, context.hostWindow);

    const ManifestResult offer = ReadManifest(context, roles);
    if (offer == ManifestResult::Failed) return RunOutcome::Failed;
    if (offer == ManifestResult::UpToDate) return RunOutcome::UpToDate;
    if (!OfferIsUsable(roles, context)) return RunOutcome::Failed;
    if (!UserAgreesToUpdate(roles, context)) return RunOutcome::Declined;

    const std::u16string packagePath = context.workFolder + context.packageName;
    const PackageFetch fetched = FetchPackage(roles, context, packagePath);
    if (fetched == PackageFetch::Cancelled) return RunOutcome::Cancelled;
    if (fetched == PackageFetch::Failed) return RunOutcome::Failed;
    if (!PackageMatchesDigest(roles, context, packagePath)) return RunOutcome::Failed;

    TellHostAndWait(roles, context.hostWindow, host.process.get());
    if (offer == ManifestResult::InstallerPackage) {
        StartInstaller(roles, packagePath);
        return RunOutcome::InstallerStarted;
    }
    if (!UnpackAndSwap(roles, context, packagePath)) return RunOutcome::ArchiveNotApplied;
    DeleteUnpackedPackage(roles, packagePath);
    return RunOutcome::ArchiveApplied;
}

void RunAndReport(const std::u16string& launchString, UpdateContext& context, Roles& roles) {
    const RunOutcome outcome = RunUpdate(launchString, context, roles);
    ReportOutcome(roles, outcome, context.hostWindow);
    // The user gets the application back, old or new.
    if (outcome == RunOutcome::ArchiveApplied || outcome == RunOutcome::ArchiveNotApplied) {
        roles.processes.OpenWithShell(context.appFolder + u"\\" + context.runTarget);
    }
}

}  // namespace app
