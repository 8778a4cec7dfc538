#pragma once
// The archive package unpacked by 7z.exe from the application folder into a hidden staging
// folder.

#include <cstdint>
#include <string>

#include "app/run/roles.h"

namespace app {

// An archiver still running after this is ended and counts as failed.
inline constexpr std::uint32_t kArchiverLimitMs = 10 * 60'000;

// 7z x "<package>" -o"<folder>" -aoa -y, of whatever length the two paths have. -y answers
// every question, so the archiver never waits for one.
std::u16string ArchiverCommandLine(const std::u16string& packagePath,
                                   const std::u16string& outFolder);

// Runs archiver hidden on the package into stage (made and hidden here, ending with a
// backslash; a folder or link already there fails it). Only
// exit code 0 is success.
bool Unpack(Roles& roles, const std::u16string& archiver, const std::u16string& packagePath,
            const std::u16string& stage);

}  // namespace app
