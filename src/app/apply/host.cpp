#include "app/apply/host.h"

#include "base/text.h"

namespace app {
namespace {

void TellHost(Platform& platform, std::int32_t hostWindow) {
    // The host may save its work and close so that its files can be replaced; a hung host
    // must not hang the update.
    const SendResult sent =
        platform.SendToWindowWithin(hostWindow, kUpdateMessage, kHostAnswerLimitMs);
    platform.Log().Write(sent.answered
                             ? std::u16string(u"host: 0x467 answered")
                             : u"host: 0x467 not answered, error " + base::DecimalText(sent.error));
    platform.Pause(kPauseBeforeApplyMs);
}

void WaitForHost(Platform& platform, ProcessWatch* host) {
    if (!host) return;
    switch (host->WaitForEnd(kHostExitLimitMs)) {
        case WaitResult::Ended:
            platform.Log().Write(u"host: ended");
            break;
        case WaitResult::StillRunning:
            platform.Log().Write(u"host: still running after " +
                                 base::DecimalText(kHostExitLimitMs) + u" ms, going on");
            break;
        case WaitResult::Failed:
            platform.Log().Write(u"host: the wait failed, going on");
            break;
    }
}

}  // namespace

HostLookup FindHost(Platform& platform, std::int32_t hostWindow) {
    HostLookup host = platform.OpenWindowProcess(hostWindow);
    if (host.process) {
        platform.Log().Write(u"host: process " + base::DecimalText(host.processId) +
                             u" opened for waiting");
    } else {
        platform.Log().Write(u"host: no process to wait for (window " +
                             base::DecimalText(hostWindow) + u", process " +
                             base::DecimalText(host.processId) + u", error " +
                             base::DecimalText(host.error) + u")");
    }
    return host;
}

void TellHostAndWait(Platform& platform, std::int32_t hostWindow, ProcessWatch* host) {
    TellHost(platform, hostWindow);
    WaitForHost(platform, host);
}

}  // namespace app
