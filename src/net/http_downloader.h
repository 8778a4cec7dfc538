#pragma once
// One HTTP GET download into a local file over the WinINet-shaped seam.

#include <cstdint>
#include <functional>
#include <string>

#include "net/download_error.h"
#include "net/net_api.h"
#include "net/owned_net_handle.h"

namespace net {

// What a caller asks of one download beyond fetching it.
struct DownloadOptions {
    // An announced length beyond this fails before the file is created; 0: no limit.
    std::int64_t maxLength = 0;
    // Packages: a connection that drops part-way is resumed with Range requests.
    bool resume = false;
    // Called as the body arrives, with the bytes received and the announced total; false
    // cancels the download.
    std::function<bool(std::int64_t received, std::int64_t total)> progress;
};

// What the last download saw, for the run's log.
struct DownloadReport {
    int status = 0;             // HTTP status of the last answer; 0 before one arrived
    std::int64_t length = -1;   // announced Content-Length; -1 before it was read
    std::int64_t received = 0;  // body bytes stored
    int retries = 0;            // requests made again after the first
    DownloadError error = DownloadError::None;
};

class HttpDownloader {
  public:
    explicit HttpDownloader(NetApi& api);
    ~HttpDownloader();
    HttpDownloader(const HttpDownloader&) = delete;
    HttpDownloader& operator=(const HttpDownloader&) = delete;

    // Fetches the address into localPath; true only when the whole announced body is stored.
    bool Download(const std::u16string& address, const std::u16string& localPath,
                  const DownloadOptions& options = {});

    // Splits an address into server (host and any ":port") and objectPath (from the first "/"),
    // and notes whether it is https; false for an address of another scheme.
    bool SplitAddress(const std::u16string& address);
    // The extra request headers sent with every GET; 99 units plus the server's length.
    std::u16string BuildRequestHeaders() const;
    // Closes request, connection and internet handle, in that order.
    void CloseHandles();

    const std::u16string& Server() const { return server; }
    const std::u16string& ObjectPath() const { return objectPath; }
    bool Secure() const { return secure; }
    NetHandle InternetHandle() const { return internetHandle.Get(); }
    NetHandle ConnectionHandle() const { return connectionHandle.Get(); }
    NetHandle RequestHandle() const { return requestHandle.Get(); }
    const DownloadReport& Report() const { return report; }
    // Why the last Download returned false; empty after a success.
    std::u16string_view LastFailure() const { return DownloadErrorText(report.error); }

  private:
    bool Fail(DownloadError error);
    std::uint32_t RequestFlags() const;
    bool FollowSecureRedirect(const std::u16string& localPath, const DownloadOptions& options);
    bool ReadStatusLine(std::string& statusLine);
    bool ReadContentLength(std::int64_t& expected);
    void MakeFolders(const std::u16string& localPath);
    bool StoreBody(const std::u16string& localPath, std::int64_t expected);

    NetApi& api;
    std::u16string server;
    std::u16string objectPath;
    bool secure = false;
    // Redirects of a secure download still to be followed; a loop ends when they run out.
    int redirectsLeft = 5;
    // Declared in opening order so that destruction closes them in reverse.
    OwnedNetHandle internetHandle;
    OwnedNetHandle connectionHandle;
    OwnedNetHandle requestHandle;
    DownloadReport report;
};

}  // namespace net
