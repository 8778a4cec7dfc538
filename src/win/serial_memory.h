#pragma once
// app::SerialMemory in the registry: one REG_QWORD a folder, named after it, under
// HKEY_CURRENT_USER\Software\Updater\ManifestSerials. Registry value names ignore case, as
// Windows paths do. Deleting the value (or the key) forgets what was taken.

#include "app/manifest/serial_memory.h"

namespace win {

class WinSerialMemory final : public app::SerialMemory {
  public:
    app::RememberedSerial Recall(const std::u16string& appFolder) override;
    std::uint32_t Remember(const std::u16string& appFolder, std::uint64_t serial) override;
};

}  // namespace win
