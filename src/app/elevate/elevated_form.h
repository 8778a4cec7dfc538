#pragma once
// How the first copy of the updater hands the apply step to a second, elevated copy: the
// arguments it is started with, and the exit codes it ends with.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// The elevated copy's arguments begin with this. A launch string begins with a version number,
// so neither form can be taken for the other.
inline constexpr std::u16string_view kElevatedMarker = u"--elevated-apply";

// What the elevated copy is told, and all it is told: nothing else in it is taken on trust.
struct ElevatedArgs {
    std::uint32_t firstCopyId = 0;  // the process id of the copy that asked
    std::u16string workFolder;      // with its closing backslash
};

// The elevated copy's exit codes. Any other code (a crash, a copy that never ran its apply)
// counts as broken: nothing can be said about the application folder then.
enum class ElevatedEnd : std::uint32_t {
    AppliedAndStarted = 40,     // the archive is in place; the run target was started
    Applied = 41,               // the archive is in place; the run target is still to start
    NotApplied = 42,            // refused or undone: the folder is as it was; nothing started
    Broken = 43,                // an undo step failed: the journal waits for the next start
    Unhealthy = 44,             // the new version did not start well: undone, the old one started
    NotAppliedAndStarted = 45,  // undone: the folder is as it was; the old version started
};

// "--elevated-apply <id> "<work folder>"".
std::u16string ElevatedParameters(const ElevatedArgs& args);

// True when the text after the program's name is the elevated form, well made or not.
bool IsElevatedForm(std::u16string_view arguments);

// The arguments when they are the elevated form, with a decimal process id and a whole work
// folder path whose last part is a work folder's name ("UpdateTemp<digits>[-<digits>]").
std::optional<ElevatedArgs> ReadElevatedForm(std::u16string_view arguments);

}  // namespace app
