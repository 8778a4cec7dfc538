// updater.exe: the host starts it with "<current version>#<host window>#<manifest address>".
// It shows a progress window only while a package downloads. It exits with 0, or with a code
// that tells the outcome when the launch string carries options. Started by itself with
// "--elevated-apply <process id> "<work folder>"" through the elevation prompt, it runs only
// the apply step of that work folder's update.

#include <windows.h>

#include <string>

#include "app/elevate/elevated_apply.h"
#include "app/elevate/elevated_copy.h"
#include "app/elevate/elevated_form.h"
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
        win::WinClock clock;
        win::WinSerialMemory serials;
        if (app::IsElevatedForm(launchString)) {
            // The elevated copy writes its log beside itself, where only an administrator can
            // change it, never into the user's work folder; the first copy copies it over.
            const std::u16string logPath = app::AppFolderOf(processes.ModulePath()) + u"\\" +
                                           std::u16string(app::kElevatedLogName);
            files.RemoveFile(logPath);
            app::FileRunLog log(win::LocalLogTime,
                                [&logPath](const std::u16string&, std::string_view bytes) {
                                    return win::AppendToFile(logPath, bytes);
                                });
            log.UseFolder(logPath);
            win::WinTrust trust(log);
            app::Roles roles{desktop, processes, files, trust, clock, net, log, serials};
            ExitProcess(app::RunElevatedCopy(launchString, roles));
        }
        app::FileRunLog log(win::LocalLogTime, win::AppendToFile);
        win::WinTrust trust(log);
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
