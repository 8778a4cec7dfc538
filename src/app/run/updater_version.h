#pragma once

#include <string_view>

namespace app {

// The version this updater reports in its log; the same as the version record of updater.rc.
inline constexpr std::u16string_view kUpdaterVersion = u"1.0.0.0";

}  // namespace app
