#pragma once
// update.log: the run's log as a UTF-8 file in the work folder, one time-stamped line a step.
// Lines written before the folder exists wait in memory; a write that fails is tried again
// with the next line and never reported, so the log cannot change the run.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/log/run_log.h"

namespace app {

struct LogTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-07 01:45:12.345 " and the line in UTF-8, ended by CR LF. Line breaks, other control
// characters (C0 and C1), the line and paragraph separators and the direction marks and
// overrides inside become blanks, so that text from a server or a launch string cannot make
// lines of its own or pass for other text; a lone surrogate becomes U+FFFD.
std::string LogLine(const LogTime& time, std::u16string_view text);

class FileRunLog final : public RunLog {
  public:
    using Clock = std::function<LogTime()>;
    // Appends the bytes to the file, creating it; false when any of it could not be written.
    using Appender = std::function<bool(const std::u16string& path, std::string_view bytes)>;

    FileRunLog(Clock readClock, Appender appender)
        : clock(std::move(readClock)), append(std::move(appender)) {}

    void Write(std::u16string_view line) override;
    void UseFolder(std::u16string_view folder) override;

    static constexpr std::u16string_view kFileName = u"update.log";

  private:
    void Flush();

    Clock clock;
    Appender append;
    std::u16string path;  // empty until the work folder exists
    std::string pending;
};

}  // namespace app
