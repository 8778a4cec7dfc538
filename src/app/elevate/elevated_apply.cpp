#include "app/elevate/elevated_apply.h"

#include "app/elevate/elevated_form.h"
#include "app/work_folder/make.h"
#include "base/text.h"
#include "markup/utf8_text.h"

namespace app {
namespace {

constexpr std::size_t kLongestElevatedLog = 1 << 20;
constexpr std::size_t kStamp = 24;

// The elevated copy's lines, into this run's log after its own.
void CopyElevatedLog(Roles& roles, const std::u16string& appFolder) {
    std::string bytes;
    const std::u16string path = appFolder + u"\\" + std::u16string(kElevatedLogName);
    if (!roles.files.ReadSmallFile(path, kLongestElevatedLog, bytes).Ok()) return;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string_view line(bytes.data() + start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        // "2026-12-07 01:45:12.345 ": this log stamps the line again.
        if (line.size() >= kStamp && line[4] == '-' && line[10] == ' ' && line[23] == ' ') {
            line.remove_prefix(kStamp);
        }
        std::u16string text;
        markup::Utf8ToText(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), text);
        roles.log.Write(u"elevated copy: " + text);
        start = end + 1;
    }
}

ElevatedApply OutcomeOf(Roles& roles, std::uint32_t code) {
    switch (static_cast<ElevatedEnd>(code)) {
        case ElevatedEnd::AppliedAndStarted:
            return {RunOutcome::ArchiveApplied, false};
        case ElevatedEnd::Applied:
            return {RunOutcome::ArchiveApplied, true};
        case ElevatedEnd::NotApplied:
            return {RunOutcome::ArchiveNotApplied, true};
        case ElevatedEnd::NotAppliedAndStarted:
            return {RunOutcome::ArchiveNotApplied, false};
        case ElevatedEnd::Unhealthy:
            return {RunOutcome::NewVersionFailed, false};
        case ElevatedEnd::Broken:
            break;
    }
    // Nothing can be said about the folder: it is not claimed to be as it was, and nothing in
    // it is started.
    roles.log.Write(u"elevated apply: broken (exit code " + base::DecimalText(code) +
                    u"), the application folder may be half updated");
    return {RunOutcome::ArchiveBroken, false};
}

}  // namespace

bool CanWriteFolder(Roles& roles, const std::u16string& folder) {
    // Without a folder there is nothing to probe, nor anything an elevated copy could do.
    if (folder.empty()) return true;
    const std::u16string probe = folder + u"\\UpdateProbe" + GetRunNumber(roles) + u".tmp";
    std::unique_ptr<base::WritableFile> file;
    const base::FileResult opened = roles.files.OpenForWriting(probe, 0, file);
    if (opened.Is(base::FileError::AccessDenied)) {
        roles.log.Write(u"the application folder cannot be written: " + opened.Describe() +
                        u"; the apply step needs an administrator");
        return false;
    }
    if (!opened.Ok()) {
        roles.log.Write(u"the probe of the application folder failed: " + opened.Describe());
        return true;
    }
    file->Close();
    file.reset();
    if (const base::FileResult removed = roles.files.RemoveFile(probe); !removed.Ok()) {
        roles.log.Write(u"could not remove the probe " + probe + u": " + removed.Describe());
    }
    return true;
}

ElevatedApply ApplyElevated(Roles& roles, const RunInput& input) {
    const std::u16string parameters =
        ElevatedParameters({roles.processes.OwnProcessId(), input.workFolder});
    roles.log.Write(u"elevated apply: starting updater.exe " + parameters);
    // The new version the second copy starts may start an updater at once: it waits for this
    // run's lock rather than ending as if another update were under way.
    roles.processes.AnnounceHealthWatch();
    const ElevatedRun run = roles.processes.RunElevated(parameters);
    switch (run.state) {
        case ElevatedRun::State::Declined:
            roles.log.Write(u"elevated apply: the elevation prompt was declined (error 1223)");
            return {RunOutcome::ArchiveNotApplied, true};
        case ElevatedRun::State::NotStarted:
            roles.log.Write(u"elevated apply: the elevated copy did not start, error " +
                            base::DecimalText(run.error));
            return {RunOutcome::ArchiveNotApplied, true};
        case ElevatedRun::State::Ended:
            break;
    }
    CopyElevatedLog(roles, input.appFolder);
    roles.log.Write(u"elevated apply: the elevated copy ended with " +
                    base::DecimalText(run.exitCode));
    return OutcomeOf(roles, run.exitCode);
}

}  // namespace app
