#pragma once
// Why a download failed: a typed value in the core, a name for the run's log, and the text
// the downloader has always given for it.

#include <string_view>

namespace net {

enum class DownloadError {
    None,
    OpenFailed,        // InternetOpen
    ConnectFailed,     // a bad server or port, or InternetConnect
    RequestFailed,     // a bad object path, or HttpOpenRequest
    SendFailed,        // HttpSendRequest: no answer, TLS refused, ...
    HeadQueryFailed,   // no status line or no usable Content-Length
    NotFound,          // 404
    ServerError,       // any other status outside 2xx
    TooLong,           // announced length beyond what the caller accepts
    CreateFileFailed,  // the sink could not begin: the local file could not be created
    WriteFailed,       // a write into the sink or its finish failed (disk full)
    DownloadFailed,    // the body ended short of its announced length
    RedirectRefused,   // redirected from https to http, nowhere usable, or more than 5 times
    TimedOut,          // no data within the receive timeout, and the retries did no better
    Stalled,           // less than 1 KiB arrived in 60 s
    Cancelled,         // the caller's progress callback asked to stop
    RangeRefused,      // a resumed answer did not fit what was stored, and the retries ran out
    UnaskedRange,      // a part of the body (206) to a request that asked for the whole
    NoSpace,           // the body would leave less than 1 MiB free on the target's volume
};

// "ConnectFailed" and so on, for the log.
std::u16string_view DownloadErrorName(DownloadError error);
// The reason text; empty for None.
std::u16string_view DownloadErrorText(DownloadError error);

}  // namespace net
