#pragma once
// The Win32 side of update.log: the local time and appending to the file.

#include <string>
#include <string_view>

#include "app/log/update_log.h"

namespace win {

app::LogTime LocalLogTime();
// Opens or creates the file for appending, writes the bytes and closes it again, so that every
// line is on disk at once and a reader may look while the run goes on.
bool AppendToFile(const std::u16string& path, std::string_view bytes);

}  // namespace win
