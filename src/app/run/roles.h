#pragma once
// Everything a run uses from outside itself, one seam a role. src/win supplies the real ones,
// the tests a fake each.

#include "app/apply/processes.h"
#include "app/log/run_log.h"
#include "app/manifest/serial_memory.h"
#include "app/trust/trust.h"
#include "app/user/desktop.h"
#include "base/clock.h"
#include "base/file_system.h"
#include "net/net_api.h"

namespace app {

struct Roles {
    Desktop& desktop;
    Processes& processes;
    base::FileSystem& files;
    Trust& trust;
    base::Clock& clock;
    net::NetApi& net;
    RunLog& log;
    SerialMemory& serials;
};

}  // namespace app
