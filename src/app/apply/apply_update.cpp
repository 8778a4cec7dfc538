#include "app/apply/apply_update.h"

#include "app/apply/staged_swap.h"
#include "app/apply/unpack.h"
#include "app/work_folder/make.h"
#include "base/text.h"

namespace app {

void StartInstaller(Roles& roles, const std::u16string& packagePath) {
    roles.log.Write(u"install: starting " + packagePath);
    roles.processes.OpenWithShell(packagePath);
}

bool UnpackAndSwap(Roles& roles, const RunInput& input, const std::u16string& packagePath) {
    const std::u16string appFolder = input.appFolder + u"\\";
    const SwapFolders folders{input.workFolder + u"stage\\", appFolder,
                              appFolder + u"UpdateBackup" + GetRunNumber(roles) + u"\\"};
    const bool applied = Unpack(roles, appFolder + u"7z.exe", packagePath, folders.stage) &&
                         SwapInStagedTree(roles, folders);
    roles.log.Write(applied ? u"apply: done" : u"apply: failed");
    // The swap moves the files out of the stage but leaves its emptied folders behind.
    if (applied) {
        // Named without its closing backslash, as a folder to remove.
        const std::u16string stage = input.workFolder + u"stage";
        if (const base::FileResult removed = roles.files.RemoveTree(stage); !removed.Ok()) {
            roles.log.Write(u"could not remove " + stage + u": error " +
                            base::DecimalText(removed.systemCode));
        }
    }
    return applied;
}

}  // namespace app
