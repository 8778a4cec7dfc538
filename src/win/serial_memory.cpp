// The registry calls behind the remembered manifest serials.

#include "win/serial_memory.h"

#include <windows.h>

#include "win/wide.h"

namespace win {
namespace {

constexpr wchar_t kSerialsKey[] = L"Software\\Updater\\ManifestSerials";
// The registry's longest value name. A longer folder could not be told apart from one with
// nothing remembered, so it is refused instead of being cut.
constexpr std::size_t kLongestValueName = 16383;

}  // namespace

app::RememberedSerial WinSerialMemory::Recall(const std::u16string& appFolder) {
    app::RememberedSerial remembered;
    if (appFolder.size() > kLongestValueName) {
        remembered.systemCode = ERROR_FILENAME_EXCED_RANGE;
        return remembered;
    }
    ULONGLONG value = 0;
    DWORD size = sizeof(value);
    // Only a REG_QWORD of 8 bytes reads; any other type or size is an error, not a 0.
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kSerialsKey, Wide(appFolder),
                                        RRF_RT_REG_QWORD, nullptr, &value, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        remembered.read = true;
    } else if (status == ERROR_SUCCESS) {
        remembered.read = true;
        remembered.serial = value;
    } else {
        remembered.systemCode = static_cast<std::uint32_t>(status);
    }
    return remembered;
}

std::uint32_t WinSerialMemory::Remember(const std::u16string& appFolder, std::uint64_t serial) {
    if (appFolder.size() > kLongestValueName) return ERROR_FILENAME_EXCED_RANGE;
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSerialsKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
    const ULONGLONG value = serial;
    status = RegSetValueExW(key, Wide(appFolder), 0, REG_QWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
    return static_cast<std::uint32_t>(status);
}

}  // namespace win
