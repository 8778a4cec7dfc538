#pragma once
// The swap's journal: the whole plan of a swap, written and flushed into the backup folder
// before the first file moves, then marks appended (each flushed) as the swap goes on. From it
// and what is on the disk, a later start can finish the swap or undo it, however it ended.
//
// UTF-8 text, one line each: "updater swap journal 1", one line a planned step ("<kind>
// <path>", the path relative to the application folder), "end of plan", then the marks. Paths
// are written in WTF-8, so that any name Windows allows comes back exactly.

#include <string>
#include <vector>

#include "base/file_system.h"

namespace app {

struct PlannedStep {
    enum class Kind {
        NewFile,     // the path was not there; the update's file is moved in
        NewFolder,   // the path was not there; the update's folder moves in whole
        KeptFile,    // an old file is moved to the backup, then the update's file moved in
        KeptFolder,  // an old empty folder is moved to the backup, then the update's file moved in
    };
    Kind kind;
    std::u16string path;  // relative to the application folder
    bool operator==(const PlannedStep&) const = default;
};

struct Journal {
    enum class State {
        Unwritten,    // the plan was never completed: nothing has moved
        Planned,      // files may have moved: undo
        Placed,       // every file is in place: the swap can be finished
        RollingBack,  // the update was being undone: undo
    };
    State state = State::Unwritten;
    std::vector<PlannedStep> plan;
    bool operator==(const Journal&) const = default;
};

inline constexpr std::u16string_view kJournalName = u"journal.txt";
// The old files wait here, under their own relative paths, inside the backup folder.
inline constexpr std::u16string_view kKeptFolderName = u"files";

enum class JournalMark { Placed, RollingBack };

// Writes the plan to path (a new file) and flushes it to the disk.
base::FileResult WriteJournal(base::FileSystem& files, const std::u16string& path,
                              const std::vector<PlannedStep>& plan);
// Appends the mark and flushes it.
base::FileResult MarkJournal(base::FileSystem& files, const std::u16string& path, JournalMark mark);
// The journal's plan and state; a read failure is answered as it is.
base::FileResult ReadJournal(base::FileSystem& files, const std::u16string& path, Journal& journal);

// The text form of both, for tests.
std::string JournalText(const std::vector<PlannedStep>& plan);
Journal ParseJournal(std::string_view text);

}  // namespace app
