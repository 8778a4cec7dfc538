#pragma once
// base::Clock over GetTickCount64, the system time and Sleep.

#include "base/clock.h"

namespace win {

class WinClock final : public base::Clock {
  public:
    std::uint64_t SteadyMs() override;
    std::int64_t CalendarSeconds() override;
    void Pause(std::uint32_t milliseconds) override;
};

}  // namespace win
