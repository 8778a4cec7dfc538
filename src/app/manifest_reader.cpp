#include "app/manifest_reader.h"

#include <string>

#include "app/number_text.h"
#include "markup/markup_doc.h"
#include "net/http_downloader.h"

namespace app {
namespace {

// Versions further apart than this take the full package instead of the patch.
constexpr double kLargestPatchStep = 0.3;

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
        return ManifestResult::InstallerPackage;
    }

    const double step = offered - context.currentVersion;
    if (!doc.FindElement(step > kLargestPatchStep ? u"UpdateExeEx" : u"UpdateExe")) {
        return ManifestResult::Failed;
    }
    if (doc.EnterElement() && doc.FindElement(u"item")) {
        context.packageName = doc.GetAttribute(u"name");
        context.packageUrl = doc.GetAttribute(u"url");
    }
    return ManifestResult::ArchivePackage;
}

}  // namespace

ManifestResult ReadManifest(UpdateContext& context, Platform& platform) {
    net::HttpDownloader downloader(platform.Net());
    const std::u16string path = context.workFolder + u"update.xml";
    if (!downloader.Download(context.manifestUrl, path)) return ManifestResult::Failed;

    markup::MarkupDoc doc;
    if (!doc.LoadFile(path)) return ManifestResult::Failed;
    if (!doc.FindElement(u"config") || !doc.EnterElement() || !doc.FindElement(u"update")) {
        return ManifestResult::Failed;
    }
    return ReadPackages(context, doc);
}

}  // namespace app
