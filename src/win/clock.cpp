#include "win/clock.h"

#include <windows.h>

#include <ctime>

namespace win {

std::uint64_t WinClock::SteadyMs() {
    return GetTickCount64();
}

std::int64_t WinClock::CalendarSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

void WinClock::Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace win
