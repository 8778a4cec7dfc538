#include "app/update_run.h"

#include "app/apply_update.h"
#include "app/download_log.h"
#include "app/launch_args.h"
#include "app/manifest_reader.h"
#include "app/package_digest.h"
#include "app/package_fetch.h"
#include "app/package_name.h"
#include "app/updater_version.h"
#include "app/work_folder.h"
#include "app/work_folder_cleanup.h"

namespace app {
namespace {

// Only Yes is consent: a box that could not be shown, even without owner, asked nobody.
bool UserAgrees(Platform& platform, const UpdateContext& context) {
    const int answer = ShowBox(platform, context.hostWindow, u"发现新版本，是否立即更新？",
                               u"信息：", kBoxYesNoQuestion);
    platform.Log().Write(u"offer: " + context.packageName + u" from " + context.packageUrl +
                         u"; answer " + DecimalText(answer) +
                         (answer == kAnswerYes ? u" (Yes)" : u" (not Yes)"));
    return answer == kAnswerYes;
}

}  // namespace

std::optional<RunOutcome> RunUpdate(const std::u16string& launchString, UpdateContext& context,
                                    Platform& platform) {
    RunLog& log = platform.Log();
    // A second updater for the same application ends at once and shows nothing: the first one
    // is already asking or downloading.
    if (!platform.ClaimRunLock(GetAppFolder(platform))) return std::nullopt;
    log.Write(u"updater " + std::u16string(kUpdaterVersion) + u", launch string: " + launchString);

    if (!ReadLaunchString(launchString, context)) return RunOutcome::ParameterError;
    RemoveOldWorkFolders(platform);
    context.workFolder = MakeFreshWorkFolder(platform);
    log.UseFolder(context.workFolder);
    log.Write(u"work folder " + context.workFolder);
    // Opened now, while its window surely exists, so that the process waited for later is
    // this one even if its id is given to another after it ended.
    const HostLookup host = FindHost(platform, context.hostWindow);

    const ManifestResult result = ReadManifest(context, platform);
    if (result == ManifestResult::Failed) return RunOutcome::Failed;
    if (result == ManifestResult::UpToDate) return RunOutcome::UpToDate;
    // The name comes from the server: refuse it before anything is written under it.
    if (!StaysInWorkFolder(context.packageName)) {
        log.Write(u"package name leaves the work folder: " + context.packageName);
        return RunOutcome::Failed;
    }
    if (!PackageDigestIsUsable(platform, context)) return RunOutcome::Failed;

    if (!UserAgrees(platform, context)) {
        log.Write(u"outcome: declined");
        return std::nullopt;
    }

    const std::u16string appFolder = GetAppFolder(platform) + u"\\";
    const std::u16string packagePath = context.workFolder + context.packageName;
    const PackageFetch fetched = FetchPackage(platform, context, packagePath);
    if (fetched == PackageFetch::Cancelled) {
        log.Write(u"outcome: cancelled, nothing applied");
        return std::nullopt;
    }
    if (fetched == PackageFetch::Failed) return RunOutcome::Failed;
    if (!PackageMatchesDigest(platform, context, packagePath)) return RunOutcome::Failed;

    const bool applied =
        ApplyUpdate(platform, context, result, appFolder, packagePath, host.process.get());
    // An unpacked archive is of no further use; an installer may still be running from its file.
    if (applied) {
        const std::uint32_t error = platform.RemoveFile(packagePath);
        log.Write(error == 0 ? u"package deleted after unpacking"
                             : u"package not deleted: error " + DecimalText(error));
    }
    log.Write(result != ManifestResult::ArchivePackage ? u"outcome: installer started"
              : applied                                ? u"outcome: archive applied"
                        : u"outcome: archive not applied, the application is as it was");
    return std::nullopt;
}

void RunAndReport(const std::u16string& launchString, UpdateContext& context, Platform& platform) {
    const std::optional<RunOutcome> outcome = RunUpdate(launchString, context, platform);
    if (!outcome) return;
    static constexpr std::u16string_view kNames[] = {u"parameter error", u"failed", u"up to date"};
    platform.Log().Write(u"outcome: " + std::u16string(kNames[static_cast<int>(*outcome)]));
    ShowOutcome(platform, *outcome, context.hostWindow);
}

}  // namespace app
