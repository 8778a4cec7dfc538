// updater.exe: the host starts it with "<current version>#<host window>#<manifest address>".
// It shows a progress window only while a package downloads, and always exits with 0.

#include <windows.h>

#include <string>

#include "app/launch_args.h"
#include "app/update_context.h"
#include "app/update_run.h"
#include "win/net_api.h"
#include "win/win_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    try {
        // Taken from the process command line rather than the runtime's argument, so that the
        // program's name is cut off the same way whichever C runtime it is linked with.
        const std::u16string launchString =
            app::LaunchStringOf(reinterpret_cast<const char16_t*>(GetCommandLineW()));
        win::WinNetApi net;
        win::WinPlatform platform(net);
        app::UpdateContext context;
        app::RunAndReport(launchString, context, platform);
        // A cancelled download may have left its worker blocked in a read, using the objects
        // above: the process ends here, while they still exist.
        ExitProcess(0);
    } catch (...) {
        // Out of memory and the like: nothing sensible is left to show.
    }
    return 0;
}
