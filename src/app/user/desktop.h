#pragma once
// The desktop as the run uses it: boxes, whether the host's window still exists, and the
// progress window the package downloads under.

#include <cstdint>
#include <string>

#include "app/package/progress_transfer.h"
#include "app/user/box_kinds.h"
#include "app/user/texts.h"

namespace app {

class Desktop {
  public:
    virtual ~Desktop() = default;

    // A message box owned by owner (0: none); NotShown when it could not be shown.
    virtual BoxAnswer ShowMessageBox(std::int32_t owner, const std::u16string& text,
                                     const std::u16string& caption, BoxKind kind) = 0;
    // The language the user reads the updater's texts in.
    virtual Language UserLanguage() = 0;
    // Whether the handle still names a window.
    virtual bool WindowExists(std::int32_t window) = 0;
    // Runs transfer on a worker thread while this thread keeps a progress window owned by
    // owner (0: none), shown and redrawn as ProgressPacer decides and closed before returning.
    // Cancelled returns at once, whatever the transfer is waiting for; so does Stalled, once
    // less than 1 KiB arrived in 60 s (net::TransferWatch). Without showWindow the same runs
    // with no window at all, and nobody can cancel.
    virtual TransferEnd TransferWithProgress(std::int32_t owner, const Transfer& transfer,
                                             bool showWindow) = 0;
};

}  // namespace app
