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

// This copy's processes as the apply step uses them, except that what it starts is started as
// a child of the first copy, with that copy's rights: never as an administrator. A file that is
// not a program cannot be started that way; it is left to the first copy, and counts as
// started for the watch, which then has nothing to watch.
class StartingForFirstCopy final : public Processes {
  public:
    StartingForFirstCopy(Processes& ownProcesses, std::uint32_t firstCopyId)
        : own(ownProcesses), firstCopy(firstCopyId) {}

    Started Start(const std::u16string& file, StartWith how) override {
        if (how != StartWith::Program || !IsProgramFile(file)) {
            Started left;
            left.started = true;
            return left;
        }
        Started started = own.StartAsChildOf(firstCopy, file);
        startedHere = startedHere || started.started;
        return started;
    }
    HostLookup OpenWindowProcess(std::int32_t window) override {
        return own.OpenWindowProcess(window);
    }
    SendResult SendToWindowWithin(std::int32_t window, std::uint32_t message,
                                  std::uint32_t milliseconds) override {
        return own.SendToWindowWithin(window, message, milliseconds);
    }
    HiddenRun RunHiddenWithin(const std::u16string& application, const std::u16string& commandLine,
                              std::uint32_t milliseconds) override {
        return own.RunHiddenWithin(application, commandLine, milliseconds);
    }
    RunLockClaim ClaimRunLock(const std::u16string& appFolder) override {
        return own.ClaimRunLock(appFolder);
    }
    bool WaitForRunLock(std::uint32_t milliseconds) override {
        return own.WaitForRunLock(milliseconds);
    }
    // The first copy holds the lock and has announced the watch for both.
    void AnnounceHealthWatch() override {}
    std::u16string ModulePath() override { return own.ModulePath(); }
    std::u16string TempPath() override { return own.TempPath(); }
    std::uint32_t OwnProcessId() override { return own.OwnProcessId(); }
    ElevatedRun RunElevated(const std::u16string& parameters) override {
        return own.RunElevated(parameters);
    }
    Started StartAsChildOf(std::uint32_t parentId, const std::u16string& program) override {
        return own.StartAsChildOf(parentId, program);
    }

    bool startedHere = false;  // a program was started for the first copy

  private:
    Processes& own;
    std::uint32_t firstCopy;
};

// The apply step's result as this copy's exit code.
ElevatedEnd EndOf(ApplyResult result, bool startedHere) {
    switch (result) {
        case ApplyResult::Applied:
            return startedHere ? ElevatedEnd::AppliedAndStarted : ElevatedEnd::Applied;
        case ApplyResult::NotApplied:
            return startedHere ? ElevatedEnd::NotAppliedAndStarted : ElevatedEnd::NotApplied;
        case ApplyResult::Unhealthy:
            return ElevatedEnd::Unhealthy;
        case ApplyResult::Broken:
            break;
    }
    return ElevatedEnd::Broken;
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

    StartingForFirstCopy processes(roles.processes, args->firstCopyId);
    Roles applying{roles.desktop, processes, roles.files, roles.trust,
                   roles.clock,   roles.net, roles.log,   roles.serials};
    const ApplyResult result = ApplyArchive(applying, {appFolder, packagePath, offer.runTarget});
    held.reset();
    return Code(EndOf(result, processes.startedHere));
}

}  // namespace app
