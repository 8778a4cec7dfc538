#include "app/manifest/offer.h"

#include "app/manifest/package_name.h"
#include "app/trust/trust_encoding.h"

namespace app {

bool CheckOffer(Offer& offer, bool manifestSigned, RunLog& log) {
    // A package element without item, name or url offers nothing to fetch: asking the user
    // first would only lead to a failure.
    if (offer.name.empty() || offer.address.empty()) {
        log.Write(u"package refused: the package element gives no item, name or url");
        return false;
    }
    // The name comes from the server.
    if (IsRunFileName(offer.name)) {
        log.Write(u"package refused: its name is one of the run's own files: " + offer.name);
        return false;
    }
    if (!StaysInWorkFolder(offer.name)) {
        log.Write(u"package name leaves the work folder: " + offer.name);
        return false;
    }
    // Started with the application folder's rights once the update is in place, so it must be
    // a file of that folder; no run target at all starts nothing.
    if (!offer.runTarget.empty() && !IsRunTargetInside(offer.runTarget)) {
        log.Write(u"manifest refused: the run target is not a file of the application folder: " +
                  offer.runTarget);
        return false;
    }
    if (offer.sha256.empty()) {
        if (!manifestSigned) return true;
        log.Write(u"package refused: a signed manifest must give its sha256");
        return false;
    }
    offer.digest = ReadSha256Text(offer.sha256);
    if (offer.digest) return true;
    log.Write(u"package refused: sha256 is not 64 hex digits");
    return false;
}

}  // namespace app
