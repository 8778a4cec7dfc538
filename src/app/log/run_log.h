#pragma once
// The run's account of itself for support staff: one line a step, written as the run goes.
// Writing it must never change the run, so nothing here reports failure.

#include <string_view>

namespace app {

class RunLog {
  public:
    virtual ~RunLog() = default;

    // One step, without time stamp or line end: the log adds both.
    virtual void Write(std::u16string_view line) = 0;
    // The run's work folder (ending with a backslash) now exists: the log lives there, lines
    // written before included.
    virtual void UseFolder(std::u16string_view) {}
};

// For callers that keep no log.
class NoLog final : public RunLog {
  public:
    void Write(std::u16string_view) override {}
};

}  // namespace app
