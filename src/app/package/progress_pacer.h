#pragma once
// When the package's progress window appears and how often it is redrawn, and what it says.
// Time is passed in, so that the decisions can be checked against a fake clock.

#include <cstdint>
#include <string>

namespace app {

// A download that ends within this never shows a window: a flash helps nobody.
inline constexpr std::uint64_t kShowProgressAfterMs = 1000;
// Ten updates a second read as smooth and cost nothing against the transfer.
inline constexpr std::uint64_t kProgressUpdateEveryMs = 100;
// The bar's range: fine enough for a smooth bar, small enough for any progress control.
inline constexpr int kProgressBarRange = 1000;

class ProgressPacer {
  public:
    enum class Step {
        Wait,    // nothing to do yet
        Show,    // create and show the window with the current figures
        Update,  // redraw the figures
    };

    explicit ProgressPacer(std::uint64_t startMs) : start(startMs), last(startMs) {}

    // What to do at nowMs. A clock that steps back is treated as not having moved.
    Step Next(std::uint64_t nowMs);

  private:
    std::uint64_t start;
    std::uint64_t last;
    bool shown = false;
};

// "12.3 MB / 200.0 MB" (1 MB = 1,048,576 bytes, tenths rounded down so that a download shows
// its total only once complete); only the received size when the total is unknown (below 0).
std::u16string ProgressSizeText(std::int64_t received, std::int64_t total);

// 0 to kProgressBarRange; 0 when the total is unknown or 0, never past the end.
int ProgressBarPosition(std::int64_t received, std::int64_t total);

}  // namespace app
