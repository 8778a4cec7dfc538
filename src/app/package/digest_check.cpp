#include "app/package/digest_check.h"

#include "app/trust/trust_encoding.h"

namespace app {

bool PackageDigestIsUsable(Platform& platform, const UpdateContext& context) {
    if (context.packageSha256.empty()) {
        if (!context.manifestSigned) return true;
        platform.Log().Write(u"package refused: a signed manifest must give its sha256");
        return false;
    }
    if (ReadSha256Text(context.packageSha256)) return true;
    platform.Log().Write(u"package refused: sha256 is not 64 hex digits");
    return false;
}

bool PackageMatchesDigest(Platform& platform, const UpdateContext& context,
                          const std::u16string& packagePath) {
    if (context.packageSha256.empty()) return true;
    const std::optional<Sha256Digest> expected = ReadSha256Text(context.packageSha256);
    const std::optional<Sha256Digest> actual = platform.FileSha256(packagePath);
    if (expected && actual && *expected == *actual) {
        platform.Log().Write(u"the package's sha256 matches");
        return true;
    }
    platform.Log().Write(actual ? u"package refused: its sha256 differs from the manifest's"
                                : u"package refused: it could not be hashed");
    if (platform.RemoveFile(packagePath) != 0) {
        platform.Log().Write(u"the refused package could not be deleted");
    }
    return false;
}

}  // namespace app
