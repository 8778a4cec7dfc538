#include "app/package/digest_check.h"

#include "app/package/delete_package.h"
#include "app/trust/trust_encoding.h"

namespace app {

bool PackageDigestIsUsable(Roles& roles, const UpdateContext& context) {
    if (context.packageSha256.empty()) {
        if (!context.manifestSigned) return true;
        roles.log.Write(u"package refused: a signed manifest must give its sha256");
        return false;
    }
    if (ReadSha256Text(context.packageSha256)) return true;
    roles.log.Write(u"package refused: sha256 is not 64 hex digits");
    return false;
}

bool PackageMatchesDigest(Roles& roles, const UpdateContext& context,
                          const std::u16string& packagePath) {
    if (context.packageSha256.empty()) return true;
    const std::optional<Sha256Digest> expected = ReadSha256Text(context.packageSha256);
    const std::optional<Sha256Digest> actual = roles.trust.FileSha256(packagePath);
    if (expected && actual && *expected == *actual) {
        roles.log.Write(u"the package's sha256 matches");
        return true;
    }
    roles.log.Write(actual ? u"package refused: its sha256 differs from the manifest's"
                           : u"package refused: it could not be hashed");
    if (!DeletePackage(roles.files, packagePath).Ok()) {
        roles.log.Write(u"the refused package could not be deleted");
    }
    return false;
}

}  // namespace app
