#pragma once
// The package download's progress window: the transfer on a worker thread, the window and its
// message loop on the calling thread.

#include <cstdint>

#include "app/package/progress_transfer.h"

namespace win {

// See app::Desktop::TransferWithProgress.
app::TransferEnd TransferWithProgressWindow(std::int32_t owner, const app::Transfer& transfer,
                                            bool showWindow);

}  // namespace win
