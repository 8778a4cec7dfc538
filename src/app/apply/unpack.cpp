#include "app/apply/unpack.h"

#include "base/text.h"

namespace app {

std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& outFolder) {
    return u"7z x \"" + packagePath + u"\" -o\"" + outFolder + u"\" -aoa -y";
}

// 7-Zip ends with 1 for warnings such as files it could not write, 2 for a damaged or
// encrypted archive: neither is an update to put in place.
bool Unpack(Roles& roles, const std::u16string& archiver, const std::u16string& packagePath,
            const std::u16string& stage) {
    // Made here so that an archive without entries still leaves a folder to list.
    if (const base::FileResult made = roles.files.MakeFolder(stage); !made.Ok()) {
        roles.log.Write(u"unpack: could not create " + stage + u", error " +
                        base::DecimalText(made.systemCode));
        return false;
    }
    // Beside the application until the swap: not a folder for the user to open mid-update.
    if (const base::FileResult hidden = roles.files.Hide(stage); !hidden.Ok()) {
        roles.log.Write(u"unpack: could not hide " + stage + u": " + hidden.Describe());
    }
    const std::u16string commandLine = ArchiverCommandLine(packagePath, stage);
    roles.log.Write(u"unpack: " + archiver + u" " + commandLine);
    const HiddenRun run = roles.processes.RunHiddenWithin(archiver, commandLine, kArchiverLimitMs);
    switch (run.state) {
        case HiddenRun::State::NotStarted:
            roles.log.Write(u"unpack: the archiver did not start, error " +
                            base::DecimalText(run.error));
            return false;
        case HiddenRun::State::TimedOut:
            roles.log.Write(u"unpack: the archiver was ended after " +
                            base::DecimalText(kArchiverLimitMs) + u" ms");
            return false;
        case HiddenRun::State::Ended:
            roles.log.Write(u"unpack: exit code " + base::DecimalText(run.exitCode));
            return run.exitCode == 0;
    }
    return false;
}

}  // namespace app
