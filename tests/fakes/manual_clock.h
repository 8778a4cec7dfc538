#pragma once
// A clock the test moves by hand; every pause moves it too and is recorded.

#include <vector>

#include "base/clock.h"

namespace fakes {

class ManualClock final : public base::Clock {
  public:
    std::uint64_t steadyMs = 0;
    std::int64_t calendarSeconds = 0;
    std::vector<std::uint32_t> pauses;

    std::uint64_t SteadyMs() override { return steadyMs; }
    std::int64_t CalendarSeconds() override { return calendarSeconds; }
    void Pause(std::uint32_t milliseconds) override {
        pauses.push_back(milliseconds);
        steadyMs += milliseconds;
    }
};

}  // namespace fakes
