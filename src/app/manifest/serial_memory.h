#pragma once
// The highest manifest serial taken so far for an application folder, remembered per user, so
// that an older signed manifest served again cannot move the user back or freeze them.

#include <cstdint>
#include <string>

namespace app {

struct RememberedSerial {
    bool read = false;             // false: a value is there but could not be read
    std::uint64_t serial = 0;      // 0 when nothing is remembered for the folder
    std::uint32_t systemCode = 0;  // why it could not be read
};

class SerialMemory {
  public:
    virtual ~SerialMemory() = default;

    // What is remembered for the folder, which is compared ignoring case. A folder with
    // nothing remembered reads 0; a value that is there but cannot be read is not read.
    virtual RememberedSerial Recall(const std::u16string& appFolder) = 0;
    // Remembers serial for the folder, replacing what was there; 0 on success, else the
    // system's error code.
    virtual std::uint32_t Remember(const std::u16string& appFolder, std::uint64_t serial) = 0;
};

}  // namespace app
