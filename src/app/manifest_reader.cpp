#include "app/manifest_reader.h"

#include <string>

#include "app/download_log.h"
#include "app/manifest_signature.h"
#include "app/number_text.h"
#include "app/support_copy.h"
#include "markup/markup_doc.h"
#include "net/http_downloader.h"
#include "net/memory_sink.h"

namespace app {
namespace {

// Versions further apart than this take the full package instead of the patch.
constexpr double kLargestPatchStep = 0.3;
// A manifest names a handful of packages; more than this is not one.
constexpr std::int64_t kLongestManifest = 1 << 20;

ManifestResult ReadPackages(UpdateContext& context, markup::MarkupDoc& doc, RunLog& log) {
    const double offered = ReadDecimalPrefix(doc.GetAttribute(u"version"));
    log.Write(u"manifest offers version " + doc.GetAttribute(u"version") + u", type " +
              doc.GetAttribute(u"type"));
    if (offered <= context.currentVersion) return ManifestResult::UpToDate;

    const std::int32_t type = ReadInt32Prefix(doc.GetAttribute(u"type"));
    context.runTarget = doc.GetAttribute(u"run");

    // A failed search leaves the cursor at update, so the archive search below still looks at
    // the siblings after update.
    if (type == 1 && doc.FindElement(u"UpdateInstall")) {
        context.packageName = doc.GetAttribute(u"name");
        context.packageUrl = doc.GetAttribute(u"url");
        context.packageSha256 = doc.GetAttribute(u"sha256");
        return ManifestResult::InstallerPackage;
    }

    const double step = offered - context.currentVersion;
    if (!doc.FindElement(step > kLargestPatchStep ? u"UpdateExeEx" : u"UpdateExe")) {
        log.Write(step > kLargestPatchStep ? u"manifest has no UpdateExeEx"
                                           : u"manifest has no UpdateExe");
        return ManifestResult::Failed;
    }
    if (doc.EnterElement() && doc.FindElement(u"item")) {
        context.packageName = doc.GetAttribute(u"name");
        context.packageUrl = doc.GetAttribute(u"url");
        context.packageSha256 = doc.GetAttribute(u"sha256");
    }
    return ManifestResult::ArchivePackage;
}

}  // namespace

ManifestResult ReadManifest(UpdateContext& context, Platform& platform) {
    net::HttpDownloader downloader(platform.Net(), platform.Clock());
    net::MemorySink manifest;
    net::DownloadOptions options;
    options.maxLength = kLongestManifest;
    const bool stored = downloader.Download(context.manifestUrl, manifest, options);
    RunLog& log = platform.Log();
    LogDownload(log, u"manifest", context.manifestUrl, downloader.Report());
    if (!stored) return ManifestResult::Failed;
    KeepSupportCopy(platform, context.workFolder + u"update.xml", manifest.Bytes());
    // A signed manifest is read only once its signature holds, and the bytes read are the very
    // bytes checked: nothing on the disk can change in between.
    if (!ManifestIsTrusted(platform, context, manifest.Bytes())) return ManifestResult::Failed;

    markup::MarkupDoc doc;
    if (!doc.LoadUtf8(manifest.Bytes())) {
        log.Write(u"manifest unreadable: " + doc.ResultText());
        return ManifestResult::Failed;
    }
    if (!doc.FindElement(u"config") || !doc.EnterElement() || !doc.FindElement(u"update")) {
        log.Write(u"manifest has no config/update element");
        return ManifestResult::Failed;
    }
    const ManifestResult result = ReadPackages(context, doc, log);
    static constexpr std::u16string_view kVerdicts[] = {u"up to date", u"failed",
                                                        u"installer package", u"archive package"};
    log.Write(u"manifest verdict: " + std::u16string(kVerdicts[static_cast<int>(result)]));
    return result;
}

}  // namespace app
