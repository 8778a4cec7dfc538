#include "app/package/digest_check.h"

#include "app/package/delete_package.h"

namespace app {

bool PackageMatchesDigest(Roles& roles, const Offer& offer, const std::u16string& packagePath,
                          const std::optional<Sha256Digest>& actual) {
    if (!offer.digest) return true;
    if (actual && *offer.digest == *actual) {
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
