#include "app/package/package_hold.h"

#include "app/package/delete_package.h"

namespace app {

std::unique_ptr<base::HeldFile> HoldCheckedPackage(Roles& roles, const Offer& offer,
                                                   const std::u16string& packagePath,
                                                   const std::optional<Sha256Digest>& written) {
    std::unique_ptr<base::HeldFile> held;
    if (const base::FileResult opened = roles.files.HoldForReading(packagePath, held);
        !opened.Ok()) {
        roles.log.Write(u"package refused: it could not be held for reading: " + opened.Describe());
        return nullptr;
    }
    roles.log.Write(u"package held for reading until it is used");
    if (!offer.digest) return held;
    // The download hashed what it wrote, so there is no second pass; without that digest (the
    // elevated copy is handed only a file) it is hashed while held: nobody can write it between
    // the hash and its use.
    const std::optional<Sha256Digest> actual =
        written ? written : roles.trust.FileSha256(packagePath);
    if (actual && *offer.digest == *actual) {
        roles.log.Write(u"the package's sha256 matches");
        return held;
    }
    roles.log.Write(actual ? u"package refused: its sha256 differs from the manifest's"
                           : u"package refused: it could not be hashed");
    held.reset();
    if (!DeletePackage(roles.files, packagePath).Ok()) {
        roles.log.Write(u"the refused package could not be deleted");
    }
    return nullptr;
}

}  // namespace app
