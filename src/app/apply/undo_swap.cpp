#include "app/apply/undo_swap.h"

#include "app/apply/in_use_retry.h"
#include "base/text.h"

namespace app {
namespace {

base::FileResult UndoStep(Roles& roles, const SwapPlace& place, const PlannedStep& step) {
    base::FileSystem& files = roles.files;
    const std::u16string path = place.target + step.path;
    switch (step.kind) {
        case PlannedStep::Kind::NewFolder: {
            // Not there before the swap: all of it came with the update.
            if (files.KindOf(path) != base::EntryKind::Folder) return base::Succeeded();
            const base::FileResult removed = files.RemoveTree(path);
            return removed.Is(base::FileError::NotFound) ? base::Succeeded() : removed;
        }
        case PlannedStep::Kind::NewFile:
            if (files.KindOf(path) == base::EntryKind::None) return base::Succeeded();
            return RetryingInUse(roles, [&] { return files.RemoveFile(path); });
        case PlannedStep::Kind::KeptFile:
        case PlannedStep::Kind::KeptFolder:
            break;
    }
    // Not in the backup: never moved there, or already back.
    const std::u16string kept = place.backup + std::u16string(kKeptFolderName) + u"\\" + step.path;
    if (files.KindOf(kept) == base::EntryKind::None) return base::Succeeded();
    // What is in its place now can only be the update's file.
    if (files.KindOf(path) != base::EntryKind::None) {
        const base::FileResult removed =
            RetryingInUse(roles, [&] { return files.RemoveFile(path); });
        if (!removed.Ok()) return removed;
    }
    return RetryingInUse(roles, [&] { return files.Move(kept, path); });
}

}  // namespace

bool UndoPlan(Roles& roles, const SwapPlace& place, const std::vector<PlannedStep>& plan) {
    std::size_t failed = 0;
    for (auto step = plan.rbegin(); step != plan.rend(); ++step) {
        const base::FileResult undone = UndoStep(roles, place, *step);
        if (undone.Ok()) continue;
        ++failed;
        roles.log.Write(u"rollback: could not undo the step on " + place.target + step->path +
                        u": " + undone.Describe());
    }
    roles.log.Write(u"rollback: " + base::DecimalText(static_cast<std::int64_t>(plan.size())) +
                    u" planned steps, " + base::DecimalText(static_cast<std::int64_t>(failed)) +
                    u" not undone");
    return failed == 0;
}

void RemoveOwnFolder(Roles& roles, const std::u16string& folder) {
    if (const base::FileResult removed = roles.files.RemoveTree(folder); !removed.Ok()) {
        roles.log.Write(u"could not remove " + folder + u": " + removed.Describe());
    }
}

}  // namespace app
