#pragma once
// The package download's progress window: the watched transfer's client on the calling thread,
// with the window and its message loop.

#include <cstdint>

#include "app/package/progress_transfer.h"

namespace win {

// See app::Desktop::TransferWithProgress.
app::TransferEnd TransferWithProgressWindow(std::int32_t owner, const app::Transfer& transfer,
                                            bool showWindow);

}  // namespace win
