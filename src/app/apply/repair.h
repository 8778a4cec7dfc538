#pragma once
// Repair at every start: a swap that a crash, a power loss or a log-off interrupted is ended
// from its journal before anything else touches the application folder, and leftovers of
// earlier runs beside the application are removed.

#include <string>
#include <string_view>

#include "app/run/roles.h"

namespace app {

inline constexpr std::u16string_view kStagePrefix = u"UpdateStage";
inline constexpr std::u16string_view kBackupPrefix = u"UpdateBackup";

// The prefix and decimal digits: the names this program gives its folders beside the
// application, and nothing else.
bool IsNumberedFolder(std::u16string_view name, std::u16string_view prefix);

// For each backup folder in appFolder (no closing backslash): a journal with every file placed
// is finished, any other undone to the exact old tree; the folder goes once that succeeded,
// and stays for the next start when a step failed. Backup folders without a journal and every
// stage folder are removed. Each step is logged.
void RepairApplicationFolder(Roles& roles, const std::u16string& appFolder);

}  // namespace app
