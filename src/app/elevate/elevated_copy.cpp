#include "app/elevate/elevated_copy.h"

#include <memory>
#include <string>

#include "app/apply/apply_update.h"
#include "app/elevate/elevated_form.h"
#include "app/manifest/freshness.h"
#include "app/manifest/offer.h"
#include "app/manifest/package_name.h"
#include "app/manifest/signature.h"
#include "app/package/package_hold.h"
#include "app/run/number_text.h"
#include "app/run/run_input.h"
#include "app/run/updater_version.h"
#include "markup/markup_doc.h"

namespace app {
namespace {

constexpr std::size_t kLongestManifest = 1 << 20;
constexpr std::size_t kLongestSignature = 4 * 1024;

std::uint32_t Code(ElevatedEnd end) {
    return static_cast<std::uint32_t>(end);
}

std::uint32_t Refuse(Roles& roles, const std::u16string& reason) {
    roles.log.Write(u"elevated apply refused: " + reason);
    return Code(ElevatedEnd::NotApplied);
}

// The update element's run target and the first item of packageElement; false when the
// manifest has no such element or offers an installer.
bool ReadArchiveOffer(std::string_view manifest, const std::u16string& packageElement,
                      Offer& offer) {
    markup::MarkupDoc doc;
    if (!doc.LoadUtf8(manifest) || !doc.FindElement(u"config") || !doc.EnterElement() ||
        !doc.FindElement(u"update") || ReadInt32Prefix(doc.GetAttribute(u"type")) == 1) {
        return false;
    }
    offer.kind = PackageKind::Archive;
    offer.runTarget = doc.GetAttribute(u"run");
    if (!doc.FindElement(packageElement) || !doc.EnterElement() || !doc.FindElement(u"item")) {
        return false;
    }
    offer.name = doc.GetAttribute(u"name");
    offer.address = doc.GetAttribute(u"url");
    offer.sha256 = doc.GetAttribute(u"sha256");
    return true;
}

// The elevated copy is not told the version the host runs, and takes none on trust: of the
// manifest's two archives it applies the one whose package the first copy left in the work
// folder, the whole one first (right whatever the version), then the patch.
bool ChooseStoredOffer(Roles& roles, std::string_view manifest, const std::u16string& workFolder,
                       Offer& offer) {
    for (const std::u16string element : {u"UpdateExeEx", u"UpdateExe"}) {
        Offer candidate;
        if (!ReadArchiveOffer(manifest, element, candidate) || candidate.name.empty() ||
            !StaysInWorkFolder(candidate.name) ||
            roles.files.KindOf(workFolder + candidate.name) != base::EntryKind::File) {
            continue;
        }
        roles.log.Write(u"elevated apply: the package of " + element + u", " + candidate.name);
        offer = candidate;
        return true;
    }
    return false;
}

// A signed manifest must still be fresh here: the first copy may have been handed an old one.
bool StillFresh(Roles& roles, std::string_view manifest, const std::u16string& appFolder) {
    markup::MarkupDoc doc;
    if (!doc.LoadUtf8(manifest) || !doc.FindElement(u"config")) return false;
    const FreshnessMarks marks{doc.GetAttribute(u"serial"), doc.GetAttribute(u"expires")};
    return CheckFreshness(marks, appFolder, roles).holds;
}

}  // namespace

std::uint32_t RunElevatedCopy(std::u16string_view arguments, Roles& roles) {
    const std::u16string appFolder = AppFolderOf(roles.processes.ModulePath());
    roles.log.Write(u"elevated copy of updater " + std::u16string(kUpdaterVersion) +
                    u", arguments: " + std::u16string(arguments));
    const std::optional<ElevatedArgs> args = ReadElevatedForm(arguments);
    if (!args) return Refuse(roles, u"the arguments are not the elevated form");
    if (appFolder.empty()) return Refuse(roles, u"the updater's own folder is unknown");
    const std::u16string& workFolder = args->workFolder;
    if (roles.files.KindOf(workFolder) != base::EntryKind::Folder) {
        return Refuse(roles, u"the work folder is missing: " + workFolder);
    }

    // Read again and checked again: the work folder belongs to the user, not to this process.
    std::string manifest, der;
    if (const base::FileResult read =
            roles.files.ReadSmallFile(workFolder + u"update.xml", kLongestManifest, manifest);
        !read.Ok()) {
        return Refuse(roles, u"update.xml could not be read: " + read.Describe());
    }
    const base::FileResult sig =
        roles.files.ReadSmallFile(workFolder + u"update.xml.sig", kLongestSignature, der);
    if (!sig.Ok() && !sig.Is(base::FileError::NotFound)) {
        return Refuse(roles, u"update.xml.sig could not be read: " + sig.Describe());
    }
    const ManifestTrust trust = CheckStoredManifestSignature(roles, appFolder, manifest, der);
    if (trust == ManifestTrust::Refused) return Refuse(roles, u"the manifest does not verify");
    if (trust == ManifestTrust::Holds && !StillFresh(roles, manifest, appFolder)) {
        return Refuse(roles, u"the manifest is no longer fresh");
    }
    Offer offer;
    if (!ChooseStoredOffer(roles, manifest, workFolder, offer)) {
        return Refuse(roles, u"the manifest offers no archive whose package is in the work folder");
    }
    if (!CheckOffer(offer, trust == ManifestTrust::Holds, roles.log)) {
        return Refuse(roles, u"the offer does not pass its checks");
    }
    const std::u16string packagePath = workFolder + offer.name;
    std::unique_ptr<base::HeldFile> held = HoldCheckedPackage(roles, offer, packagePath);
    if (!held) return Refuse(roles, u"the package does not pass its checks");

    const bool applied = UnpackAndSwap(roles, RunInput{{}, {}, appFolder, workFolder}, packagePath);
    held.reset();
    if (!applied) return Code(ElevatedEnd::NotApplied);
    if (offer.runTarget.empty()) return Code(ElevatedEnd::Applied);
    // Never with this process's rights: as a child of the first copy, with its token.
    const std::u16string target = appFolder + u"\\" + offer.runTarget;
    if (const std::uint32_t error = roles.processes.StartAsChildOf(args->firstCopyId, target)) {
        roles.log.Write(u"elevated apply: the run target was not started here, error " +
                        base::DecimalText(error) + u"; the first copy starts it");
        return Code(ElevatedEnd::Applied);
    }
    roles.log.Write(u"elevated apply: started " + target + u" as the first copy's child");
    return Code(ElevatedEnd::AppliedAndStarted);
}

}  // namespace app
