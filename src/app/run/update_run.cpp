#include "app/run/update_run.h"

#include "app/apply/apply_update.h"
#include "app/apply/host.h"
#include "app/manifest/package_name.h"
#include "app/manifest/read_manifest.h"
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
void StartWorkFolder(Platform& platform, UpdateContext& context) {
    RemoveOldWorkFolders(platform);
    context.workFolder = MakeFreshWorkFolder(platform);
    platform.Log().UseFolder(context.workFolder);
    platform.Log().Write(u"work folder " + context.workFolder);
}

// The offer from the manifest, refused before anything is written under its name or fetched.
bool OfferIsUsable(Platform& platform, const UpdateContext& context) {
    // The name comes from the server.
    if (!StaysInWorkFolder(context.packageName)) {
        platform.Log().Write(u"package name leaves the work folder: " + context.packageName);
        return false;
    }
    return PackageDigestIsUsable(platform, context);
}

// An unpacked archive is of no further use; an installer may still be running from its file.
void DeleteUnpackedPackage(Platform& platform, const std::u16string& packagePath) {
    const std::uint32_t error = platform.RemoveFile(packagePath);
    platform.Log().Write(error == 0 ? u"package deleted after unpacking"
                                    : u"package not deleted: error " + base::DecimalText(error));
}

}  // namespace

RunOutcome RunUpdate(const std::u16string& launchString, UpdateContext& context,
                     Platform& platform) {
    context.appFolder = GetAppFolder(platform);
    // A second updater for the same application ends at once and shows nothing: the first one
    // is already asking or downloading.
    if (!platform.ClaimRunLock(context.appFolder)) return RunOutcome::AnotherRunActive;
    platform.Log().Write(u"updater " + std::u16string(kUpdaterVersion) + u", launch string: " +
                         launchString);
    if (!ReadLaunchString(launchString, context)) return RunOutcome::ParameterError;
    StartWorkFolder(platform, context);
    // Opened now, while its window surely exists, so that the process waited for later is
    // this one even if its id is given to another after it ended.
    const HostLookup host = FindHost(platform, context.hostWindow);

    const ManifestResult offer = ReadManifest(context, platform);
    if (offer == ManifestResult::Failed) return RunOutcome::Failed;
    if (offer == ManifestResult::UpToDate) return RunOutcome::UpToDate;
    if (!OfferIsUsable(platform, context)) return RunOutcome::Failed;
    if (!UserAgreesToUpdate(platform, context)) return RunOutcome::Declined;

    const std::u16string packagePath = context.workFolder + context.packageName;
    const PackageFetch fetched = FetchPackage(platform, context, packagePath);
    if (fetched == PackageFetch::Cancelled) return RunOutcome::Cancelled;
    if (fetched == PackageFetch::Failed) return RunOutcome::Failed;
    if (!PackageMatchesDigest(platform, context, packagePath)) return RunOutcome::Failed;

    TellHostAndWait(platform, context.hostWindow, host.process.get());
    if (offer == ManifestResult::InstallerPackage) {
        StartInstaller(platform, packagePath);
        return RunOutcome::InstallerStarted;
    }
    if (!UnpackAndSwap(platform, context, packagePath)) return RunOutcome::ArchiveNotApplied;
    DeleteUnpackedPackage(platform, packagePath);
    return RunOutcome::ArchiveApplied;
}

void RunAndReport(const std::u16string& launchString, UpdateContext& context, Platform& platform) {
    const RunOutcome outcome = RunUpdate(launchString, context, platform);
    ReportOutcome(platform, outcome, context.hostWindow);
    // The user gets the application back, old or new.
    if (outcome == RunOutcome::ArchiveApplied || outcome == RunOutcome::ArchiveNotApplied) {
        platform.OpenWithShell(context.appFolder + u"\\" + context.runTarget);
    }
}

}  // namespace app
