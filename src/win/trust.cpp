// The CNG calls behind the manifest signature and package digest.

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "win/file_system.h"
#include "win/owned_handle.h"
#include "win/trust.h"
#include "win/wide.h"

namespace win {
namespace {

// "BCryptVerifySignature failed: 0xC000A000", the code as support staff look it up.
void LogFailure(app::RunLog& log, std::u16string_view call, unsigned long code) {
    log.Write(std::u16string(call) + u" failed: 0x" + base::HexDigits(code, 8, true));
}

class Algorithm {
  public:
    explicit Algorithm(const wchar_t* name) {
        status = BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0);
        if (!BCRYPT_SUCCESS(status)) handle = nullptr;
    }
    ~Algorithm() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return handle; }
    NTSTATUS status = 0;

  private:
    BCRYPT_ALG_HANDLE handle = nullptr;
};

class Hash {
  public:
    // The status says why there is no hash: the algorithm's, when that could not be opened.
    explicit Hash(const Algorithm& algorithm) {
        status = algorithm.Get()
                     ? BCryptCreateHash(algorithm.Get(), &handle, nullptr, 0, nullptr, 0, 0)
                     : algorithm.status;
        if (!BCRYPT_SUCCESS(status)) handle = nullptr;
    }
    ~Hash() {
        if (handle) BCryptDestroyHash(handle);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE Get() const { return handle; }
    NTSTATUS status = 0;

  private:
    BCRYPT_HASH_HANDLE handle = nullptr;
};

class Key {
  public:
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
    BCRYPT_KEY_HANDLE handle = nullptr;
};

HANDLE OpenForReading(const std::u16string& path) {
    // Others may read the file meanwhile, never change it under the hash.
    return CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Large reads keep a digest of a big package cheap beside its download.
constexpr DWORD kReadChunk = 1u << 20;

bool HashData(app::RunLog& log, const Hash& hash, const char* data, DWORD size) {
    const NTSTATUS status =
        BCryptHashData(hash.Get(), reinterpret_cast<PUCHAR>(const_cast<char*>(data)), size, 0);
    if (BCRYPT_SUCCESS(status)) return true;
    LogFailure(log, u"BCryptHashData", static_cast<unsigned long>(status));
    return false;
}

std::optional<app::Sha256Digest> FinishDigest(app::RunLog& log, const Hash& hash) {
    app::Sha256Digest digest{};
    const NTSTATUS status = BCryptFinishHash(hash.Get(), digest.data(), digest.size(), 0);
    if (!BCRYPT_SUCCESS(status)) {
        LogFailure(log, u"BCryptFinishHash", static_cast<unsigned long>(status));
        return std::nullopt;
    }
    return digest;
}

// Fed on the download's worker: it logs nothing, the digest check tells of a failure.
class CngSha256Stream final : public app::Sha256Stream {
  public:
    bool Ready() const { return hash.Get() != nullptr; }

    bool Add(std::string_view bytes) override {
        // A call takes at most 4 GiB; pieces of one read's size keep the count in range.
        for (std::size_t done = 0; ok && done < bytes.size(); done += kReadChunk) {
            const auto size =
                static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, kReadChunk));
            auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done));
            ok = BCRYPT_SUCCESS(BCryptHashData(hash.Get(), data, size, 0));
        }
        return ok;
    }

    std::optional<app::Sha256Digest> Finish() override {
        app::Sha256Digest digest{};
        const bool finished =
            ok && BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest.data(), digest.size(), 0));
        ok = false;  // a finished CNG hash takes no more data
        return finished ? std::optional(digest) : std::nullopt;
    }

  private:
    const Algorithm sha256{BCRYPT_SHA256_ALGORITHM};
    const Hash hash{sha256};
    bool ok = Ready();
};

}  // namespace

std::unique_ptr<app::Sha256Stream> WinTrust::StartSha256() {
    auto stream = std::make_unique<CngSha256Stream>();
    if (stream->Ready()) return stream;
    return nullptr;
}

std::optional<app::Sha256Digest> WinTrust::FileSha256(const std::u16string& path) {
    const OwnedHandle file(OpenForReading(path));
    if (!file) {
        LogFailure(log, u"CreateFileW", GetLastError());
        return std::nullopt;
    }
    const Algorithm sha256(BCRYPT_SHA256_ALGORITHM);
    const Hash hash(sha256);
    if (!hash.Get()) {
        LogFailure(log, u"BCryptCreateHash", static_cast<unsigned long>(hash.status));
        return std::nullopt;
    }
    std::vector<char> buffer(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), kReadChunk, &read, nullptr)) {
            LogFailure(log, u"ReadFile", GetLastError());
            return std::nullopt;
        }
        if (read == 0) break;
        if (!HashData(log, hash, buffer.data(), read)) return std::nullopt;
    }
    return FinishDigest(log, hash);
}

std::optional<app::Sha256Digest> WinTrust::Sha256(std::string_view bytes) {
    const Algorithm sha256(BCRYPT_SHA256_ALGORITHM);
    const Hash hash(sha256);
    if (!hash.Get()) {
        LogFailure(log, u"BCryptCreateHash", static_cast<unsigned long>(hash.status));
        return std::nullopt;
    }
    // A call takes at most 4 GiB; pieces of one read's size keep the count in range.
    for (std::size_t done = 0; done < bytes.size(); done += kReadChunk) {
        const auto size =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kReadChunk));
        if (!HashData(log, hash, bytes.data() + done, size)) return std::nullopt;
    }
    return FinishDigest(log, hash);
}

bool WinTrust::VerifyP256(const app::P256PublicKey& key, const app::Sha256Digest& digest,
                          const app::P256Signature& signature) {
    const Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa.Get()) {
        LogFailure(log, u"BCryptOpenAlgorithmProvider", static_cast<unsigned long>(ecdsa.status));
        return false;
    }
    // BCRYPT_ECCKEY_BLOB, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), key.data(), key.size());
    Key imported;
    const NTSTATUS imports =
        BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported.handle,
                            blob.data(), static_cast<ULONG>(blob.size()), 0);
    if (!BCRYPT_SUCCESS(imports)) {
        // A point that is not on the curve ends here.
        imported.handle = nullptr;
        LogFailure(log, u"BCryptImportKeyPair", static_cast<unsigned long>(imports));
        return false;
    }
    // CNG takes its inputs as non-const buffers; it does not write them.
    app::Sha256Digest hashed = digest;
    app::P256Signature rs = signature;
    const NTSTATUS verifies = BCryptVerifySignature(imported.handle, nullptr, hashed.data(),
                                                    static_cast<ULONG>(hashed.size()), rs.data(),
                                                    static_cast<ULONG>(rs.size()), 0);
    // STATUS_INVALID_SIGNATURE (0xC000A000) is the plain answer "not by this key": with several
    // keys the others are tried, and the run says itself when none holds. Anything else is a
    // failure of the call and is worth a line.
    constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);
    if (verifies != 0 && verifies != kInvalidSignature)
        LogFailure(log, u"BCryptVerifySignature", static_cast<unsigned long>(verifies));
    return verifies == 0;
}

}  // namespace win
