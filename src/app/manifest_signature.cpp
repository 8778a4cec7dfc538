#include "app/manifest_signature.h"

#include "app/support_copy.h"
#include "app/trust_encoding.h"
#include "app/work_folder.h"
#include "net/http_downloader.h"
#include "net/memory_sink.h"

namespace app {
namespace {

// A PEM public key is under 200 bytes; a DER P-256 signature at most 72.
constexpr std::size_t kLongestKeyFile = 64 * 1024;
constexpr std::size_t kLongestSignature = 4 * 1024;

bool Refuse(Platform& platform, std::u16string_view reason) {
    platform.Log().Write(u"manifest refused: " + std::u16string(reason));
    return false;
}

}  // namespace

bool ManifestIsTrusted(Platform& platform, UpdateContext& context, std::string_view manifest) {
    // Without its own folder the updater cannot tell whether a key lies beside it: taking the
    // manifest unchecked then would let a failed system call switch the check off.
    const std::u16string appFolder = GetAppFolder(platform);
    if (appFolder.empty()) return Refuse(platform, u"the updater's own folder is unknown");
    const std::u16string keyPath = appFolder + u"\\" + std::u16string(kKeyFileName);
    // Anything by that name counts: a folder there is no key, and refuses the manifest.
    if (platform.BaseFiles().KindOf(keyPath) == base::EntryKind::None) {
        platform.Log().Write(u"no update-key.pem beside the updater: the manifest is not checked");
        return true;
    }
    context.manifestSigned = true;
    const std::optional<std::string> pem = platform.ReadSmallFile(keyPath, kLongestKeyFile);
    const std::optional<P256PublicKey> key = pem ? ReadP256PublicKeyPem(*pem) : std::nullopt;
    if (!key) return Refuse(platform, u"update-key.pem is unreadable or no P-256 public key");

    net::HttpDownloader downloader(platform.Net(), platform.Clock());
    net::DownloadOptions options;
    options.maxLength = kLongestSignature;
    net::MemorySink der;
    if (!downloader.Download(context.manifestUrl + u".sig", der, options)) {
        return Refuse(platform,
                      u"the signature did not arrive (" +
                          std::u16string(net::DownloadErrorName(downloader.Report().error)) + u")");
    }
    KeepSupportCopy(platform, context.workFolder + u"update.xml.sig", der.Bytes());
    const std::optional<P256Signature> signature = ReadDerSignature(der.Bytes());
    if (!signature) return Refuse(platform, u"update.xml.sig is no DER ECDSA P-256 signature");
    const std::optional<Sha256Digest> digest = platform.Sha256(manifest);
    if (!digest) return Refuse(platform, u"update.xml could not be hashed");
    if (!platform.VerifyP256(*key, *digest, *signature)) {
        return Refuse(platform, u"the signature does not match update.xml and update-key.pem");
    }
    platform.Log().Write(u"the manifest's signature holds");
    return true;
}

}  // namespace app
