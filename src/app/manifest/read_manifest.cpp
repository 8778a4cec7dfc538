#include "app/manifest/read_manifest.h"

#include <string>

#include "app/log/download_log.h"
#include "app/log/support_copy.h"
#include "app/manifest/freshness.h"
#include "app/manifest/signature.h"
#include "app/run/number_text.h"
#include "markup/markup_doc.h"
#include "net/http_downloader.h"
#include "net/memory_sink.h"

namespace app {
namespace {

using Verdict = Manifest::Verdict;

// Versions further apart than this take the full package instead of the patch.
constexpr double kLargestPatchStep = 0.3;
// A manifest names a handful of packages; more than this is not one.
constexpr std::int64_t kLongestManifest = 1 << 20;

void ReadPackageElement(markup::MarkupDoc& doc, Offer& offer) {
    offer.name = doc.GetAttribute(u"name");
    offer.address = doc.GetAttribute(u"url");
    offer.sha256 = doc.GetAttribute(u"sha256");
    offer.size = doc.GetAttribute(u"size");
}

// From the update element on: whether the offer is newer, and which package it is.
Verdict ChooseOffer(double currentVersion, markup::MarkupDoc& doc, Offer& offer, RunLog& log) {
    const double offered = ReadDecimalPrefix(doc.GetAttribute(u"version"));
    log.Write(u"manifest offers version " + doc.GetAttribute(u"version") + u", type " +
              doc.GetAttribute(u"type"));
    if (offered <= currentVersion) return Verdict::UpToDate;

    const std::int32_t type = ReadInt32Prefix(doc.GetAttribute(u"type"));
    offer.runTarget = doc.GetAttribute(u"run");
    offer.notes = doc.GetAttribute(u"notes");

    // A failed search leaves the cursor at update, so the archive search below still looks at
    // the siblings after update.
    if (type == 1 && doc.FindElement(u"UpdateInstall")) {
        offer.kind = PackageKind::Installer;
        ReadPackageElement(doc, offer);
        return Verdict::Offered;
    }

    const double step = offered - currentVersion;
    if (!doc.FindElement(step > kLargestPatchStep ? u"UpdateExeEx" : u"UpdateExe")) {
        log.Write(step > kLargestPatchStep ? u"manifest has no UpdateExeEx"
                                           : u"manifest has no UpdateExe");
        return Verdict::Failed;
    }
    offer.kind = PackageKind::Archive;
    if (doc.EnterElement() && doc.FindElement(u"item")) ReadPackageElement(doc, offer);
    return Verdict::Offered;
}

std::u16string_view VerdictName(Verdict verdict, PackageKind kind) {
    switch (verdict) {
        case Verdict::UpToDate:
            return u"up to date";
        case Verdict::Failed:
            return u"failed";
        case Verdict::Offered:
            break;
    }
    return kind == PackageKind::Installer ? u"installer package" : u"archive package";
}

// The manifest read and its offer chosen; the verdict is logged once there is one. A signed
// manifest must also be fresh, and its serial is remembered once it is taken.
Verdict ReadOffer(std::string_view bytes, const RunInput& input, Manifest& manifest, Roles& roles) {
    markup::MarkupDoc doc;
    if (!doc.LoadUtf8(bytes)) {
        roles.log.Write(u"manifest unreadable: " + doc.Result().Describe(doc.DocText()));
        return Verdict::Failed;
    }
    if (!doc.FindElement(u"config")) {
        roles.log.Write(u"manifest has no config/update element");
        return Verdict::Failed;
    }
    Freshness fresh{true, std::nullopt};
    if (manifest.isSigned) {
        const FreshnessMarks marks{doc.GetAttribute(u"serial"), doc.GetAttribute(u"expires")};
        fresh = CheckFreshness(marks, input.appFolder, roles);
        if (!fresh.holds) return Verdict::Failed;
    }
    if (!doc.EnterElement() || !doc.FindElement(u"update")) {
        roles.log.Write(u"manifest has no config/update element");
        return Verdict::Failed;
    }
    const Verdict verdict =
        ChooseOffer(input.launch.currentVersion, doc, manifest.offer, roles.log);
    roles.log.Write(u"manifest verdict: " +
                    std::u16string(VerdictName(verdict, manifest.offer.kind)));
    if (verdict != Verdict::Failed && fresh.serial) {
        RememberSerial(*fresh.serial, input.appFolder, roles);
    }
    return verdict;
}

}  // namespace

Manifest ReadManifest(const RunInput& input, Roles& roles) {
    Manifest manifest;
    net::HttpDownloader downloader(roles.net, roles.clock);
    net::MemorySink bytes;
    net::DownloadOptions options;
    options.maxLength = kLongestManifest;
    const bool stored = downloader.Download(input.launch.manifestUrl, bytes, options);
    LogDownload(roles.log, u"manifest", input.launch.manifestUrl, downloader.Report());
    if (!stored) return manifest;
    KeepSupportCopy(roles, input.workFolder + u"update.xml", bytes.Bytes());
    // A signed manifest is read only once its signature holds, and the bytes read are the very
    // bytes checked: nothing on the disk can change in between.
    const ManifestTrust trust = CheckManifestSignature(roles, input, bytes.Bytes());
    if (trust == ManifestTrust::Refused) return manifest;
    manifest.isSigned = trust == ManifestTrust::Holds;

    manifest.verdict = ReadOffer(bytes.Bytes(), input, manifest, roles);
    manifest.offer.signedManifest = manifest.isSigned;
    return manifest;
}

}  // namespace app
