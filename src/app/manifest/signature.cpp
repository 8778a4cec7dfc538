#include "app/manifest/signature.h"

#include "app/log/support_copy.h"
#include "app/trust/trust_encoding.h"
#include "base/text.h"
#include "net/http_downloader.h"
#include "net/memory_sink.h"

namespace app {
namespace {

// A PEM public key is under 200 bytes; a DER P-256 signature at most 72.
constexpr std::size_t kLongestKeyFile = 64 * 1024;
constexpr std::size_t kLongestSignature = 4 * 1024;

ManifestTrust Refuse(Roles& roles, std::u16string_view reason) {
    roles.log.Write(u"manifest refused: " + std::u16string(reason));
    return ManifestTrust::Refused;
}

// The keys of update-key.pem beside the updater: Holds once there is at least one, Unchecked
// when the file is surely not there.
ManifestTrust ReadKeys(Roles& roles, const std::u16string& appFolder,
                       std::vector<P256PublicKey>& keys) {
    // Without its own folder the updater cannot tell whether a key lies beside it: taking the
    // manifest unchecked then would let a failed system call switch the check off.
    if (appFolder.empty()) return Refuse(roles, u"the updater's own folder is unknown");
    const std::u16string keyPath = appFolder + u"\\" + std::u16string(kKeyFileName);
    // Only a key that is surely not there lets the manifest in unchecked. Any other failure (no
    // access, a share that dropped, a folder by that name) refuses it: a failed call must not
    // switch the check off.
    std::string pem;
    const base::FileResult read = roles.files.ReadSmallFile(keyPath, kLongestKeyFile, pem);
    if (read.Is(base::FileError::NotFound)) {
        roles.log.Write(u"no update-key.pem beside the updater: the manifest is not checked");
        return ManifestTrust::Unchecked;
    }
    if (!read.Ok()) roles.log.Write(u"could not read " + keyPath + u": " + read.Describe());
    if (read.Ok()) keys = ReadP256PublicKeysPem(pem);
    if (keys.empty()) return Refuse(roles, u"update-key.pem is unreadable or no P-256 public key");
    return ManifestTrust::Holds;
}

ManifestTrust VerifyWithKeys(Roles& roles, const std::vector<P256PublicKey>& keys,
                             std::string_view manifest, std::string_view der) {
    const std::optional<P256Signature> signature = ReadDerSignature(der);
    if (!signature) return Refuse(roles, u"update.xml.sig is no DER ECDSA P-256 signature");
    const std::optional<Sha256Digest> digest = roles.trust.Sha256(manifest);
    if (!digest) return Refuse(roles, u"update.xml could not be hashed");
    // Any key of the file will do: during a change of keys it holds the old and the new one.
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!roles.trust.VerifyP256(keys[k], *digest, *signature)) continue;
        roles.log.Write(u"the manifest's signature holds (key " +
                        base::DecimalText(static_cast<std::int64_t>(k + 1)) + u" of " +
                        base::DecimalText(static_cast<std::int64_t>(keys.size())) + u")");
        return ManifestTrust::Holds;
    }
    return Refuse(roles, u"the signature does not match update.xml and update-key.pem");
}

}  // namespace

ManifestTrust CheckManifestSignature(Roles& roles, const RunInput& input,
                                     std::string_view manifest) {
    std::vector<P256PublicKey> keys;
    if (const ManifestTrust read = ReadKeys(roles, input.appFolder, keys);
        read != ManifestTrust::Holds) {
        return read;
    }
    net::HttpDownloader downloader(roles.net, roles.clock);
    net::DownloadOptions options;
    options.maxLength = kLongestSignature;
    net::MemorySink der;
    if (!downloader.Download(input.launch.manifestUrl + u".sig", der, options)) {
        return Refuse(roles, u"the signature did not arrive (" +
                                 std::u16string(net::DownloadErrorName(downloader.Report().error)) +
                                 u")");
    }
    KeepSupportCopy(roles, input.workFolder + u"update.xml.sig", der.Bytes());
    return VerifyWithKeys(roles, keys, manifest, der.Bytes());
}

ManifestTrust CheckStoredManifestSignature(Roles& roles, const std::u16string& appFolder,
                                           std::string_view manifest, std::string_view der) {
    std::vector<P256PublicKey> keys;
    if (const ManifestTrust read = ReadKeys(roles, appFolder, keys); read != ManifestTrust::Holds) {
        return read;
    }
    if (der.size() > kLongestSignature) return Refuse(roles, u"update.xml.sig is too long");
    return VerifyWithKeys(roles, keys, manifest, der);
}

}  // namespace app
