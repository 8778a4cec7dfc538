#pragma once
// A signed manifest's root element may say which release it is (serial, a whole number that
// only grows) and until when it holds (expires, UTC written as 2027-01-31T00:00:00Z). An old
// signed manifest served again is then refused rather than keeping users on an old version or
// moving them back to one. Unsigned manifests carry no such promise and are not checked.

#include <cstdint>
#include <optional>
#include <string>

#include "app/run/roles.h"

namespace app {

// The root's attributes as written; empty when absent.
struct FreshnessMarks {
    std::u16string serial;
    std::u16string expires;
};

struct Freshness {
    bool holds = false;
    // The manifest's serial, to remember once the manifest is taken; none when it gives none.
    std::optional<std::uint64_t> serial;
};

// A missing mark is taken (and logged). A malformed mark, an expiry the clock has reached, a
// serial below the one remembered for the folder, or a remembered serial that cannot be read
// refuses the manifest, with the reason in the log.
Freshness CheckFreshness(const FreshnessMarks& marks, const std::u16string& appFolder,
                         Roles& roles);

// Raises the folder's remembered serial to that of a manifest taken. A failed write is logged
// and changes nothing else: this manifest was checked, and the next one is held to the serial
// remembered before.
void RememberSerial(std::uint64_t serial, const std::u16string& appFolder, Roles& roles);

}  // namespace app
