#pragma once
// app::Trust over CNG; failing calls are written to the run log with their status.

#include "app/log/run_log.h"
#include "app/trust/trust.h"

namespace win {

class WinTrust final : public app::Trust {
  public:
    explicit WinTrust(app::RunLog& runLog) : log(runLog) {}

    std::optional<app::Sha256Digest> FileSha256(const std::u16string& path) override;
    std::optional<app::Sha256Digest> Sha256(std::string_view bytes) override;
    std::unique_ptr<app::Sha256Stream> StartSha256() override;
    bool VerifyP256(const app::P256PublicKey& key, const app::Sha256Digest& digest,
                    const app::P256Signature& signature) override;

  private:
    app::RunLog& log;
};

}  // namespace win
