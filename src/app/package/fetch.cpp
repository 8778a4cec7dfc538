#include "app/package/fetch.h"

#include <memory>

#include "app/log/download_log.h"
#include "app/package/delete_package.h"
#include "app/package/hashing_sink.h"
#include "net/http_downloader.h"

namespace app {
namespace {

// The size a signed manifest gives bounds the announced length: plain decimal digits within
// 63 bits. Unsigned manifests keep working as they always did, whatever their sizes say, and
// 0 is the placeholder of manifests that never gave one. Anything else bounds nothing; the
// digest, which a signed manifest must give, still holds.
std::optional<std::int64_t> SizeBound(const Offer& offer, RunLog& log) {
    if (!offer.signedManifest || offer.size.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char16_t c : offer.size) {
        const int digit = c - u'0';
        if (digit < 0 || digit > 9 || value > (INT64_MAX - digit) / 10) {
            log.Write(u"package size ignored: \"" + offer.size + u"\" is no whole number");
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    if (value == 0) return std::nullopt;
    return value;
}

}  // namespace

FetchedPackage FetchPackage(Roles& roles, std::int32_t hostWindow, const Offer& offer,
                            const std::u16string& packagePath, bool showWindow) {
    const std::int32_t owner =
        hostWindow != 0 && roles.desktop.WindowExists(hostWindow) ? hostWindow : 0;
    // Owned by the transfer as well: after a cancel it may go on until its read returns.
    auto downloader = std::make_shared<net::HttpDownloader>(roles.net, roles.clock);
    // Hashed only when there is a digest to compare with. The work folder and what lies in it
    // were made by this run: a link there was planted, and is not written through.
    auto package = std::make_shared<HashingSink>(offer.digest ? &roles.trust : nullptr, roles.files,
                                                 packagePath, roles.processes.TempPath());
    net::DownloadOptions options;
    options.resume = true;
    options.maxLength = SizeBound(offer, roles.log);
    const Transfer transfer = [downloader, package, options, url = offer.address](
                                  const TransferProgress& progress, bool watched) {
        net::DownloadOptions asked = options;
        asked.progress = progress;
        asked.fullReads = watched;
        return downloader->Download(url, *package, asked);
    };

    const TransferEnd end = roles.desktop.TransferWithProgress(owner, transfer, showWindow);
    if (end == TransferEnd::Cancelled || end == TransferEnd::Stalled) {
        // The transfer may be blocked in a read with the file open: deleted from here, it goes
        // once that handle closes. Its report is not settled, so it is not logged.
        const base::FileResult removed = DeletePackage(roles.files, packagePath);
        const bool cancelled = end == TransferEnd::Cancelled;
        roles.log.Write((cancelled ? std::u16string(u"package download cancelled by the user")
                                   : u"package " + AddressForLog(offer.address) +
                                         u": failed: Stalled (less than 1 KiB in 60 s)") +
                        u"; partial package " +
                        (removed.Ok()
                             ? std::u16string(u"deleted")
                             : u"not deleted: error " + base::DecimalText(removed.systemCode)));
        return {cancelled ? PackageFetch::Cancelled : PackageFetch::Failed, std::nullopt};
    }
    // The transfer has ended: its report and the sink's digest are settled.
    LogDownload(roles.log, u"package", offer.address, downloader->Report());
    if (end != TransferEnd::Done) return {PackageFetch::Failed, std::nullopt};
    return {PackageFetch::Stored, package->Digest()};
}

}  // namespace app
