#include "app/manifest_reader.h"

#include <string>

#include "app/manifest_signature.h"
#include "app/number_text.h"
#include "markup/markup_doc.h"
#include "net/http_downloader.h"

namespace app {
namespace {

// Versions further apart than this take the full package instead of the patch.
constexpr double kLargestPatchStep = 0.3;
// A manifest names a handful of packages; more than this is not one.
constexpr std::int64_t kLongestManifest = 1 << 20;

ManifestResult ReadPackages(UpdateContext& context, markup::MarkupDoc& doc) {
    const double offered = ReadDecimalPrefix(doc.GetAttribute(u"version"));
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
    net::HttpDownloader downloader(platform.Net());
    const std::u16string path = context.workFolder + u"update.xml";
    net::DownloadOptions options;
    options.maxLength = kLongestManifest;
    if (!downloader.Download(context.manifestUrl, path, options)) return ManifestResult::Failed;
    // A signed manifest is read only once its signature holds.
    if (!ManifestIsTrusted(platform, context, path)) return ManifestResult::Failed;

    markup::MarkupDoc doc;
    if (!doc.LoadFile(path)) return ManifestResult::Failed;
    if (!doc.FindElement(u"config") || !doc.EnterElement() || !doc.FindElement(u"update")) {
        return ManifestResult::Failed;
    }
    return ReadPackages(context, doc);
}

}  // namespace app
