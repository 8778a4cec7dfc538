#include "app/apply/apply_update.h"

#include "app/apply/staged_swap.h"
#include "app/apply/unpack.h"
#include "app/work_folder/make.h"
#include "base/text.h"

namespace app {

void StartInstaller(Platform& platform, const std::u16string& packagePath) {
    platform.Log().Write(u"install: starting " + packagePath);
    platform.OpenWithShell(packagePath);
}

bool UnpackAndSwap(Platform& platform, const UpdateContext& context,
                   const std::u16string& packagePath) {
    const std::u16string appFolder = context.appFolder + u"\\";
    const SwapFolders folders{context.workFolder + u"stage\\", appFolder,
                              appFolder + u"UpdateBackup" + GetRunNumber(platform) + u"\\"};
    const bool applied = Unpack(platform, appFolder + u"7z.exe", packagePath, folders.stage) &&
                         SwapInStagedTree(platform, folders);
    platform.Log().Write(applied ? u"apply: done" : u"apply: failed");
    // The swap moves the files out of the stage but leaves its emptied folders behind.
    if (applied) {
        // Named without its closing backslash, as a folder to remove.
        const std::u16string stage = context.workFolder + u"stage";
        if (const std::uint32_t error = platform.RemoveFolderTree(stage)) {
            platform.Log().Write(u"could not remove " + stage + u": error " +
                                 base::DecimalText(error));
        }
    }
    return applied;
}

}  // namespace app
