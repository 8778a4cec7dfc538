#include "app/apply/staged_swap.h"

#include <functional>
#include <vector>

#include "base/text.h"

namespace app {
namespace {

// One step taken, as it is undone.
struct Step {
    enum class Kind { Kept, Placed, CreatedFolder } kind;
    std::u16string path;  // in the application folder
    std::u16string kept;  // where a Kept entry waits in the backup folder
};

std::u16string Name(Step::Kind kind) {
    switch (kind) {
        case Step::Kind::Kept:
            return u"keeping";
        case Step::Kind::Placed:
            return u"placing";
        case Step::Kind::CreatedFolder:
            return u"creating";
    }
    return {};
}

// Windows answers access denied for some files held open as well, so both are tried again.
bool InUse(const base::FileResult& result) {
    return result.Is(base::FileError::InUse) || result.Is(base::FileError::AccessDenied);
}

class Swap {
  public:
    Swap(Roles& swapRoles, const SwapFolders& swapFolders)
        : roles(swapRoles), files(swapRoles.files), folders(swapFolders) {}

    bool Run() {
        std::vector<base::TreeEntry> entries;
        if (const base::FileResult listed = files.ListTree(folders.stage, entries); !listed.Ok()) {
            return Failed(u"list " + folders.stage, listed);
        }
        if (const base::FileResult made = files.MakeFolder(folders.backup); !made.Ok()) {
            return Failed(u"create backup folder " + folders.backup, made);
        }
        for (const base::TreeEntry& entry : entries) {
            if (!Put(entry)) {
                RollBack();
                return false;
            }
        }
        RemoveBackups();
        Write(u"swap: " + base::DecimalText(static_cast<std::int64_t>(entries.size())) +
              u" entries in place");
        return true;
    }

  private:
    bool Put(const base::TreeEntry& entry) {
        const std::u16string path = folders.target + entry.path;
        const base::EntryKind there = files.KindOf(path);
        if (entry.folder && there == base::EntryKind::Folder) return true;
        if (there != base::EntryKind::None) {
            // Moved aside within its volume: this works for a running program as well.
            const std::u16string kept = folders.backup + base::DecimalText(++keptCount);
            const base::FileResult moved = Retrying([&] { return files.Move(path, kept); });
            if (!moved.Ok()) return Failed(u"keep " + path, moved);
            steps.push_back({Step::Kind::Kept, path, kept});
            Write(u"swap: kept " + path + u" as " + kept);
        }
        if (entry.folder) {
            const base::FileResult made = files.MakeFolder(path);
            if (!made.Ok()) return Failed(u"create folder " + path, made);
            steps.push_back({Step::Kind::CreatedFolder, path, {}});
            Write(u"swap: created folder " + path);
            return true;
        }
        const base::FileResult placed =
            Retrying([&] { return files.Move(folders.stage + entry.path, path); });
        // A copy across volumes that failed half way may have left part of the file.
        if (!placed.Is(base::FileError::Exists)) steps.push_back({Step::Kind::Placed, path, {}});
        if (!placed.Ok()) return Failed(u"place " + path, placed);
        Write(u"swap: placed " + path);
        return true;
    }

    // Best effort to the end: each step that cannot be undone is logged, the rest still are.
    void RollBack() {
        bool whole = true;
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
            const base::FileResult undone = Undo(*step);
            if (!undone.Ok()) {
                whole = false;
                Write(u"rollback: could not undo a step on " + step->path + u", error " +
                      base::DecimalText(undone.systemCode));
            } else {
                Write(u"rollback: undid " + Name(step->kind) + u" " + step->path);
            }
        }
        if (whole) {
            if (const base::FileResult removed = files.RemoveFolder(folders.backup);
                !removed.Ok()) {
                Write(u"rollback: could not remove the empty " + folders.backup + u", error " +
                      base::DecimalText(removed.systemCode));
            }
            Write(u"rollback: " + base::DecimalText(static_cast<std::int64_t>(steps.size())) +
                  u" steps undone, the application folder is as it was");
        } else {
            Write(u"rollback incomplete: what was replaced waits in " + folders.backup);
        }
    }

    // The update is in place: what is left over only takes room, so failures are logged.
    void RemoveBackups() {
        bool whole = true;
        for (const Step& step : steps) {
            if (step.kind == Step::Kind::Kept && !RemoveAnything(step.kept)) whole = false;
        }
        if (whole && files.RemoveFolder(folders.backup).Ok()) return;
        Write(u"swap: could not remove all of " + folders.backup);
    }

    bool RemoveAnything(const std::u16string& path) {
        if (files.KindOf(path) != base::EntryKind::Folder) return files.RemoveFile(path).Ok();
        return files.RemoveTree(path).Ok();
    }

    base::FileResult Undo(const Step& step) {
        switch (step.kind) {
            case Step::Kind::Placed:
                if (files.KindOf(step.path) == base::EntryKind::None) return base::Succeeded();
                return Retrying([&] { return files.RemoveFile(step.path); });
            case Step::Kind::CreatedFolder:
                return files.RemoveFolder(step.path);
            case Step::Kind::Kept:
                return Retrying([&] { return files.Move(step.kept, step.path); });
        }
        return base::Succeeded();
    }

    base::FileResult Retrying(const std::function<base::FileResult()>& step) {
        base::FileResult result = step();
        for (int retry = 0; retry < kInUseRetries && InUse(result); ++retry) {
            roles.clock.Pause(kInUseRetryPauseMs);
            result = step();
        }
        return result;
    }

    bool Failed(const std::u16string& what, const base::FileResult& result) {
        Write(u"swap failed: " + what + u", error " + base::DecimalText(result.systemCode));
        return false;
    }

    void Write(const std::u16string& line) { roles.log.Write(line); }

    Roles& roles;
    base::FileSystem& files;
    const SwapFolders& folders;
    std::vector<Step> steps;
    std::int64_t keptCount = 0;
};

}  // namespace

bool SwapInStagedTree(Roles& roles, const SwapFolders& folders) {
    return Swap(roles, folders).Run();
}

}  // namespace app
