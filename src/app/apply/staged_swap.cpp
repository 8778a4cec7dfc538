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

bool InUse(std::uint32_t error) {
    return error == kErrorSharingViolation || error == kErrorLockViolation ||
           error == kErrorAccessDenied;
}

class Swap {
  public:
    Swap(Platform& platform, const SwapFolders& folders)
        : platform(platform), files(platform.Files()), folders(folders) {}

    bool Run() {
        std::vector<TreeEntry> entries;
        if (const std::uint32_t error = files.ListTree(folders.stage, entries)) {
            return Failed(u"list " + folders.stage, error);
        }
        if (const std::uint32_t error = files.CreateFolder(folders.backup)) {
            return Failed(u"create backup folder " + folders.backup, error);
        }
        for (const TreeEntry& entry : entries) {
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
    bool Put(const TreeEntry& entry) {
        const std::u16string path = folders.target + entry.path;
        const EntryKind there = files.KindOf(path);
        if (entry.folder && there == EntryKind::Folder) return true;
        if (there != EntryKind::None) {
            // Moved aside within its volume: this works for a running program as well.
            const std::u16string kept = folders.backup + base::DecimalText(++keptCount);
            const std::uint32_t error = Retrying([&] { return files.Move(path, kept); });
            if (error) return Failed(u"keep " + path, error);
            steps.push_back({Step::Kind::Kept, path, kept});
            Write(u"swap: kept " + path + u" as " + kept);
        }
        if (entry.folder) {
            const std::uint32_t error = files.CreateFolder(path);
            if (error) return Failed(u"create folder " + path, error);
            steps.push_back({Step::Kind::CreatedFolder, path, {}});
            Write(u"swap: created folder " + path);
            return true;
        }
        const std::uint32_t error =
            Retrying([&] { return files.Move(folders.stage + entry.path, path); });
        // A copy across volumes that failed half way may have left part of the file.
        if (error != kErrorFileExists && error != kErrorAlreadyExists) {
            steps.push_back({Step::Kind::Placed, path, {}});
        }
        if (error) return Failed(u"place " + path, error);
        Write(u"swap: placed " + path);
        return true;
    }

    // Best effort to the end: each step that cannot be undone is logged, the rest still are.
    void RollBack() {
        bool whole = true;
        for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
            std::uint32_t error = 0;
            switch (step->kind) {
                case Step::Kind::Placed:
                    if (files.KindOf(step->path) != EntryKind::None) {
                        error = Retrying([&] { return files.RemoveFile(step->path); });
                    }
                    break;
                case Step::Kind::CreatedFolder:
                    error = files.RemoveFolder(step->path);
                    break;
                case Step::Kind::Kept:
                    error = Retrying([&] { return files.Move(step->kept, step->path); });
                    break;
            }
            if (error) {
                whole = false;
                Write(u"rollback: could not undo a step on " + step->path + u", error " +
                      base::DecimalText(error));
            } else {
                Write(u"rollback: undid " + Name(step->kind) + u" " + step->path);
            }
        }
        if (whole) {
            if (const std::uint32_t error = files.RemoveFolder(folders.backup)) {
                Write(u"rollback: could not remove the empty " + folders.backup + u", error " +
                      base::DecimalText(error));
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
        if (whole && files.RemoveFolder(folders.backup) == 0) return;
        Write(u"swap: could not remove all of " + folders.backup);
    }

    bool RemoveAnything(const std::u16string& path) {
        if (files.KindOf(path) != EntryKind::Folder) return files.RemoveFile(path) == 0;
        std::vector<TreeEntry> inside;
        if (files.ListTree(path + u"\\", inside) != 0) return false;
        bool whole = true;
        for (auto entry = inside.rbegin(); entry != inside.rend(); ++entry) {
            const std::u16string full = path + u"\\" + entry->path;
            whole &= (entry->folder ? files.RemoveFolder(full) : files.RemoveFile(full)) == 0;
        }
        return whole && files.RemoveFolder(path) == 0;
    }

    std::uint32_t Retrying(const std::function<std::uint32_t()>& step) {
        std::uint32_t error = step();
        for (int retry = 0; retry < kInUseRetries && InUse(error); ++retry) {
            platform.Pause(kInUseRetryPauseMs);
            error = step();
        }
        return error;
    }

    bool Failed(const std::u16string& what, std::uint32_t error) {
        Write(u"swap failed: " + what + u", error " + base::DecimalText(error));
        return false;
    }

    void Write(const std::u16string& line) { platform.Log().Write(line); }

    Platform& platform;
    FileSystem& files;
    const SwapFolders& folders;
    std::vector<Step> steps;
    std::int64_t keptCount = 0;
};

}  // namespace

bool SwapInStagedTree(Platform& platform, const SwapFolders& folders) {
    return Swap(platform, folders).Run();
}

}  // namespace app
