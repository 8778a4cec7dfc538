#include "app/update_run.h"

#include "app/apply_update.h"
#include "app/launch_args.h"
#include "app/manifest_reader.h"
#include "app/package_digest.h"
#include "app/package_name.h"
#include "app/work_folder.h"
#include "net/http_downloader.h"

namespace app {
namespace {

// Only Yes is consent: a box that could not be shown, even without owner, asked nobody.
bool UserAgrees(Platform& platform, const UpdateContext& context) {
    return ShowBox(platform, context.hostWindow, u"发现新版本，是否立即更新？", u"信息：",
                   kBoxYesNoQuestion) == kAnswerYes;
}

}  // namespace

std::optional<RunOutcome> RunUpdate(const std::u16string& launchString, UpdateContext& context,
                                    Platform& platform) {
    if (!ReadLaunchString(launchString, context)) return RunOutcome::ParameterError;
    context.workFolder = MakeWorkFolder(platform);
    // Opened now, while its window surely exists, so that the process waited for later is
    // this one even if its id is given to another after it ended.
    const HostLookup host = FindHost(platform, context.hostWindow);

    const ManifestResult result = ReadManifest(context, platform);
    if (result == ManifestResult::Failed) return RunOutcome::Failed;
    if (result == ManifestResult::UpToDate) return RunOutcome::UpToDate;
    // The name comes from the server: refuse it before anything is written under it.
    if (!StaysInWorkFolder(context.packageName)) return RunOutcome::Failed;
    if (!PackageDigestIsUsable(platform, context)) return RunOutcome::Failed;

    if (!UserAgrees(platform, context)) return std::nullopt;

    const std::u16string appFolder = GetAppFolder(platform) + u"\\";
    net::HttpDownloader downloader(platform.Net());
    const std::u16string packagePath = context.workFolder + context.packageName;
    if (!downloader.Download(context.packageUrl, packagePath)) return RunOutcome::Failed;
    if (!PackageMatchesDigest(platform, context, packagePath)) return RunOutcome::Failed;

    ApplyUpdate(platform, context, result, appFolder, packagePath, host.process.get());
    return std::nullopt;
}

void RunAndReport(const std::u16string& launchString, UpdateContext& context, Platform& platform) {
    const std::optional<RunOutcome> outcome = RunUpdate(launchString, context, platform);
    if (outcome) ShowOutcome(platform, *outcome, context.hostWindow);
}

}  // namespace app
