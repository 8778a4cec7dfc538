#include "app/package_fetch.h"

#include <memory>

#include "app/download_log.h"
#include "net/file_sink.h"
#include "net/http_downloader.h"

namespace app {

PackageFetch FetchPackage(Platform& platform, const UpdateContext& context,
                          const std::u16string& packagePath) {
    const std::int32_t owner = context.hostWindow != 0 && platform.WindowExists(context.hostWindow)
                                   ? context.hostWindow
                                   : 0;
    // Owned by the transfer as well: after a cancel it may go on until its read returns.
    auto downloader = std::make_shared<net::HttpDownloader>(platform.Net(), platform.Clock());
    auto package = std::make_shared<net::FileSink>(platform.BaseFiles(), packagePath);
    const Transfer transfer = [downloader, package, url = context.packageUrl](
                                  const TransferProgress& progress, bool watched) {
        net::DownloadOptions options;
        options.resume = true;
        options.progress = progress;
        options.fullReads = watched;
        return downloader->Download(url, *package, options);
    };

    const TransferEnd end = platform.TransferWithProgress(owner, transfer);
    if (end == TransferEnd::Cancelled || end == TransferEnd::Stalled) {
        // The transfer may be blocked in a read with the file open: deleted from here, it goes
        // once that handle closes. Its report is not settled, so it is not logged.
        const std::uint32_t error = platform.RemoveFile(packagePath);
        const bool cancelled = end == TransferEnd::Cancelled;
        platform.Log().Write((cancelled ? std::u16string(u"package download cancelled by the user")
                                        : u"package " + context.packageUrl +
                                              u": failed: Stalled (less than 1 KiB in 60 s)") +
                             u"; partial package " +
                             (error == 0 ? std::u16string(u"deleted")
                                         : u"not deleted: error " + DecimalText(error)));
        return cancelled ? PackageFetch::Cancelled : PackageFetch::Failed;
    }
    // The transfer has ended: its report is settled.
    LogDownload(platform.Log(), u"package", context.packageUrl, downloader->Report());
    return end == TransferEnd::Done ? PackageFetch::Stored : PackageFetch::Failed;
}

}  // namespace app
