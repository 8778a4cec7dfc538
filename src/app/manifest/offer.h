#pragma once
// The package a manifest offers, as read, and the checks it passes once before anything is
// written under its name or fetched from its address.

#include <optional>
#include <string>

#include "app/log/run_log.h"
#include "app/trust/trust_types.h"

namespace app {

enum class PackageKind { Installer, Archive };

struct Offer {
    PackageKind kind = PackageKind::Archive;
    std::u16string name;       // the file name in the work folder
    std::u16string address;    // where the package is fetched from
    std::u16string sha256;     // the attribute as written; empty when there is none
    std::u16string runTarget;  // relative to the application folder, started after an archive
    std::u16string notes;      // release notes for the question, as written; may be empty
    std::optional<Sha256Digest> digest;  // sha256 read, once the offer is checked

    // The package's length in bytes as written; empty when none is given.
    std::u16string size;
    // The manifest's signature held: only then does its size bind.
    bool signedManifest = false;
};

// The name must stay in the work folder, a run target (when there is one) in the application
// folder, a sha256 must be 64 hex digits, and a signed manifest must give one: a signature
// vouches for a package only through its digest. False, with the reason in the log, when any
// fails; else the offer's digest is filled in.
bool CheckOffer(Offer& offer, bool manifestSigned, RunLog& log);

}  // namespace app
