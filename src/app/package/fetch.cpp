#include "app/package/fetch.h"

#include <memory>

#include "app/log/download_log.h"
#include "app/package/delete_package.h"
#include "net/file_sink.h"
#include "net/http_downloader.h"

namespace app {

PackageFetch FetchPackage(Roles& roles, std::int32_t hostWindow, const std::u16string& address,
                          const std::u16string& packagePath, bool showWindow) {
    const std::int32_t owner =
        hostWindow != 0 && roles.desktop.WindowExists(hostWindow) ? hostWindow : 0;
    // Owned by the transfer as well: after a cancel it may go on until its read returns.
    auto downloader = std::make_shared<net::HttpDownloader>(roles.net, roles.clock);
    auto package = std::make_shared<net::FileSink>(roles.files, packagePath);
    const Transfer transfer = [downloader, package, url = address](const TransferProgress& progress,
                                                                   bool watched) {
        net::DownloadOptions options;
        options.resume = true;
        options.progress = progress;
        options.fullReads = watched;
        return downloader->Download(url, *package, options);
    };

    const TransferEnd end = roles.desktop.TransferWithProgress(owner, transfer, showWindow);
    if (end == TransferEnd::Cancelled || end == TransferEnd::Stalled) {
        // The transfer may be blocked in a read with the file open: deleted from here, it goes
        // once that handle closes. Its report is not settled, so it is not logged.
        const base::FileResult removed = DeletePackage(roles.files, packagePath);
        const bool cancelled = end == TransferEnd::Cancelled;
        roles.log.Write((cancelled ? std::u16string(u"package download cancelled by the user")
                                   : u"package " + AddressForLog(address) +
                                         u": failed: Stalled (less than 1 KiB in 60 s)") +
                        u"; partial package " +
                        (removed.Ok()
                             ? std::u16string(u"deleted")
                             : u"not deleted: error " + base::DecimalText(removed.systemCode)));
        return cancelled ? PackageFetch::Cancelled : PackageFetch::Failed;
    }
    // The transfer has ended: its report is settled.
    LogDownload(roles.log, u"package", address, downloader->Report());
    return end == TransferEnd::Done ? PackageFetch::Stored : PackageFetch::Failed;
}

}  // namespace app
