// The platform's file reads and CNG calls behind the manifest signature and package digest.

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "win/win_platform.h"

namespace win {
namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Closes what CNG and CreateFileW hand out, on every way out.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle; }

  private:
    HANDLE handle;
};

class Algorithm {
  public:
    explicit Algorithm(const wchar_t* name) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0))) {
            handle = nullptr;
        }
    }
    ~Algorithm() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return handle; }

  private:
    BCRYPT_ALG_HANDLE handle = nullptr;
};

class Hash {
  public:
    explicit Hash(const Algorithm& algorithm) {
        if (!algorithm.Get() || !BCRYPT_SUCCESS(BCryptCreateHash(algorithm.Get(), &handle, nullptr,
                                                                 0, nullptr, 0, 0))) {
            handle = nullptr;
        }
    }
    ~Hash() {
        if (handle) BCryptDestroyHash(handle);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE Get() const { return handle; }

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
    return CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Large reads keep a digest of a big package cheap beside its download.
constexpr DWORD kReadChunk = 1u << 20;

}  // namespace

std::optional<std::string> WinPlatform::ReadSmallFile(const std::u16string& path,
                                                      std::size_t maxBytes) {
    const FileHandle file(OpenForReading(path));
    if (file.Get() == INVALID_HANDLE_VALUE) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD wanted =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kReadChunk));
        if (!::ReadFile(file.Get(), bytes.data() + done, wanted, &read, nullptr) || read == 0) {
            return std::nullopt;
        }
        done += read;
    }
    return bytes;
}

std::optional<app::Sha256Digest> WinPlatform::FileSha256(const std::u16string& path) {
    const FileHandle file(OpenForReading(path));
    if (file.Get() == INVALID_HANDLE_VALUE) return std::nullopt;
    const Algorithm sha256(BCRYPT_SHA256_ALGORITHM);
    const Hash hash(sha256);
    if (!hash.Get()) return std::nullopt;
    std::vector<UCHAR> buffer(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), kReadChunk, &read, nullptr)) return std::nullopt;
        if (read == 0) break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), buffer.data(), read, 0))) {
            return std::nullopt;
        }
    }
    app::Sha256Digest digest{};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest.data(), digest.size(), 0))) {
        return std::nullopt;
    }
    return digest;
}

bool WinPlatform::VerifyP256(const app::P256PublicKey& key, const app::Sha256Digest& digest,
                             const app::P256Signature& signature) {
    const Algorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa.Get()) return false;
    // BCRYPT_ECCKEY_BLOB, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), key.data(), key.size());
    Key imported;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                            &imported.handle, blob.data(),
                                            static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    // CNG takes its inputs as non-const buffers; it does not write them.
    app::Sha256Digest hashed = digest;
    app::P256Signature rs = signature;
    return BCryptVerifySignature(imported.handle, nullptr, hashed.data(),
                                 static_cast<ULONG>(hashed.size()), rs.data(),
                                 static_cast<ULONG>(rs.size()), 0) == 0;
}

bool WinPlatform::RemoveFile(const std::u16string& path) {
    return DeleteFileW(Wide(path)) != FALSE;
}

}  // namespace win
