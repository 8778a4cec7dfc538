#include "app/apply_update.h"

namespace app {

std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& appFolder) {
    return u"7z x \"" + packagePath + u"\" -o\"" + appFolder + u"\" -aoa";
}

bool ApplyUpdate(Platform& platform, const UpdateContext& context, ManifestResult result,
                 const std::u16string& appFolder, const std::u16string& packagePath) {
    // The host may save its work and close so that its files can be replaced.
    platform.SendToWindow(context.hostWindow, kUpdateMessage);
    platform.Pause(kPauseBeforeApplyMs);

    std::u16string toStart = packagePath;
    bool unpacked = false;
    if (result == ManifestResult::ArchivePackage) {
        // A missing or failing archiver still starts the application as it is.
        unpacked = platform.RunHiddenAndWait(appFolder + u"7z.exe",
                                             ArchiverCommandLine(packagePath, appFolder));
        toStart = appFolder + context.runTarget;
    }
    platform.OpenWithShell(toStart);
    return unpacked;
}

}  // namespace app
