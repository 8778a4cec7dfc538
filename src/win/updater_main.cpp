// updater.exe: the host starts it with "<current version>#<host window>#<manifest address>".
// It shows a progress window only while a package downloads. It exits with 0, or with a code
// that tells the outcome when the launch string carries options.

#include <windows.h>

#include <string>

#include "app/log/update_log.h"
#include "app/run/launch_string.h"
#include "app/run/update_run.h"
#include "win/clock.h"
#include "win/desktop.h"
#include "win/file_system.h"
#include "win/net_api.h"
#include "win/processes.h"
#include "win/serial_memory.h"
#include "win/trust.h"
#include "win/update_log.h"
#include "win/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    try {
        // Taken from the process command line rather than the runtime's argument, so that the
        // program's name is cut off the same way whichever C runtime it is linked with.
        const std::u16string launchString = app::LaunchStringOf(win::FromWide(GetCommandLineW()));
        win::WinNetApi net;
        win::WinDesktop desktop;
        win::WinProcesses processes;
        win::WinFileSystem files;
        app::FileRunLog log(win::LocalLogTime, win::AppendToFile);
        win::WinTrust trust(log);
        win::WinClock clock;
        win::WinSerialMemory serials;
        app::Roles roles{desktop, processes, files, trust, clock, net, log, serials};
        const int exitCode = app::RunAndReport(launchString, roles);
        // A cancelled download may have left its worker blocked in a read, using the objects
        // above: the process ends here, while they still exist.
        ExitProcess(static_cast<UINT>(exitCode));
    } catch (...) {
        // Out of memory and the like: nothing sensible is left to show.
    }
    return 0;
}
