#pragma once
// How a run ends: one row a way, with the name update.log gives it and the box the user sees.

#include <cstdint>
#include <string_view>

#include "app/user/box_kinds.h"
#include "app/user/texts.h"

namespace app {

enum class RunOutcome {
    AnotherRunActive,     // a second updater for the same application: nothing logged or shown
    ParameterError,       // empty launch string or fewer than three fields
    Failed,               // manifest or package did not arrive or could not be used
    UpToDate,             // the offered version is not newer
    Declined,             // the user did not say Yes
    Cancelled,            // the user cancelled the download
    InstallerStarted,     // the installer package was started
    InstallerNotStarted,  // the shell could not start the installer
    ArchiveApplied,       // the archive is in place and the run target started well
    ArchiveNotApplied,    // unpack or swap refused or failed, and undone; the old target started
    NewVersionFailed,     // the new run target did not start well: undone, the old one started
    ArchiveBroken,        // an undo step failed: repaired at the next start; nothing started
    OnOffer,              // a check only: a newer version is on offer, nothing fetched
};

// Exit codes scripts read; the README has this table.
inline constexpr int kExitDone = 0;  // up to date, updated, or installer started
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadLaunchString = 2;
inline constexpr int kExitAnotherRun = 3;
inline constexpr int kExitOnOffer = 4;
inline constexpr int kExitNotTaken = 5;  // cancelled or declined

struct OutcomeRow {
    RunOutcome outcome;
    std::u16string_view logName;  // after "outcome: "; empty: no line
    // The exit code when the launch string has an option field; without one it is always 0.
    int exitCode = kExitDone;
    bool box = false;
    Text text = Text::UpdateFailed;
    Text caption = Text::CaptionError;
    BoxKind kind = BoxKind::Error;
    bool ownedByHost = true;  // else the box has no owner at all
};

inline constexpr OutcomeRow kOutcomes[] = {
    {RunOutcome::AnotherRunActive, u"", kExitAnotherRun},
    // The launch string named no host window that could be trusted to own a box.
    {RunOutcome::ParameterError, u"parameter error", kExitBadLaunchString, true,
     Text::ParameterError, Text::CaptionError, BoxKind::Error, false},
    // A failure must not look like "nothing to do".
    {RunOutcome::Failed, u"failed", kExitFailed, true, Text::UpdateFailed, Text::CaptionError,
     BoxKind::Error},
    {RunOutcome::UpToDate, u"up to date", kExitDone, true, Text::UpToDate, Text::CaptionInformation,
     BoxKind::Information},
    {RunOutcome::Declined, u"declined", kExitNotTaken},
    {RunOutcome::Cancelled, u"cancelled, nothing applied", kExitNotTaken},
    {RunOutcome::InstallerStarted, u"installer started"},
    {RunOutcome::InstallerNotStarted, u"installer not started", kExitFailed, true,
     Text::UpdateFailed, Text::CaptionError, BoxKind::Error},
    {RunOutcome::ArchiveApplied, u"archive applied"},
    {RunOutcome::ArchiveNotApplied, u"archive not applied, the application is as it was",
     kExitFailed, true, Text::UpdateFailed, Text::CaptionError, BoxKind::Error},
    {RunOutcome::NewVersionFailed,
     u"the new version did not start well; undone, the application is as it was", kExitFailed, true,
     Text::UpdateFailed, Text::CaptionError, BoxKind::Error},
    // Never "as it was": the folder is mixed until the next start repairs it.
    {RunOutcome::ArchiveBroken,
     u"archive not applied and not wholly undone; the next start of the updater repairs the "
     u"application folder",
     kExitFailed, true, Text::UpdateFailed, Text::CaptionError, BoxKind::Error},
    {RunOutcome::OnOffer, u"update on offer", kExitOnOffer},
};

constexpr const OutcomeRow& RowOf(RunOutcome outcome) {
    for (const OutcomeRow& row : kOutcomes) {
        if (row.outcome == outcome) return row;
    }
    return kOutcomes[0];
}

}  // namespace app
