#pragma once
// The one clock of the updater: time that never goes back for limits, calendar time for names
// and ages, and pauses. Tests move a fake one by hand.

#include <cstdint>

namespace base {

class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds on a clock that never goes back.
    virtual std::uint64_t SteadyMs() = 0;
    // Seconds since 1970-01-01 UTC.
    virtual std::int64_t CalendarSeconds() = 0;
    virtual void Pause(std::uint32_t milliseconds) = 0;
};

}  // namespace base
