#include "app/apply/host.h"

#include "base/text.h"

namespace app {
namespace {

void TellHost(Roles& roles, std::int32_t hostWindow) {
    // The host may save its work and close so that its files can be replaced; a hung host
    // must not hang the update.
    const SendResult sent =
        roles.processes.SendToWindowWithin(hostWindow, kUpdateMessage, kHostAnswerLimitMs);
    roles.log.Write(sent.answered
                        ? std::u16string(u"host: 0x467 answered")
                        : u"host: 0x467 not answered, error " + base::DecimalText(sent.error));
    roles.clock.Pause(kPauseBeforeApplyMs);
}

void WaitForHost(Roles& roles, ProcessWatch* host) {
    if (!host) return;
    switch (host->WaitForEnd(kHostExitLimitMs)) {
        case WaitResult::Ended:
            roles.log.Write(u"host: ended");
            break;
        case WaitResult::StillRunning:
            roles.log.Write(u"host: still running after " + base::DecimalText(kHostExitLimitMs) +
                            u" ms, going on");
            break;
        case WaitResult::Failed:
            roles.log.Write(u"host: the wait failed, going on");
            break;
    }
}

}  // namespace

HostLookup FindHost(Roles& roles, std::int32_t hostWindow) {
    HostLookup host = roles.processes.OpenWindowProcess(hostWindow);
    if (host.process) {
        roles.log.Write(u"host: process " + base::DecimalText(host.processId) +
                        u" opened for waiting");
    } else {
        roles.log.Write(u"host: no process to wait for (window " + base::DecimalText(hostWindow) +
                        u", process " + base::DecimalText(host.processId) + u", error " +
                        base::DecimalText(host.error) + u")");
    }
    return host;
}

void TellHostAndWait(Roles& roles, std::int32_t hostWindow, ProcessWatch* host) {
    TellHost(roles, hostWindow);
    WaitForHost(roles, host);
}

}  // namespace app
