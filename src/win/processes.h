#pragma once
// app::Processes over kernel32, user32 and shell32.

#include "app/apply/processes.h"

namespace win {

class WinProcesses final : public app::Processes {
  public:
    app::HostLookup OpenWindowProcess(std::int32_t window) override;
    app::SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                       std::uint32_t milliseconds) override;
    app::HiddenRun RunHiddenWithin(const std::u16string& application,
                                   const std::u16string& commandLine,
                                   std::uint32_t milliseconds) override;
    app::Started Start(const std::u16string& file, app::StartWith how) override;
    app::RunLockClaim ClaimRunLock(const std::u16string& appFolder) override;
    bool WaitForRunLock(std::uint32_t milliseconds) override;
    void AnnounceHealthWatch() override;
    std::u16string ModulePath() override;
    std::u16string TempPath() override;
    std::uint32_t OwnProcessId() override;
    app::ElevatedRun RunElevated(const std::u16string& parameters) override;
    app::Started StartAsChildOf(std::uint32_t parentId, const std::u16string& program) override;

  private:
    void* runLock = nullptr;  // held until the process ends
    std::u16string runLockName;
    void* healthWatch = nullptr;  // likewise
};

}  // namespace win
