#include "app/apply/journal.h"

#include <array>
#include <memory>

namespace app {
namespace {

constexpr std::string_view kHeader = "updater swap journal 1";
constexpr std::string_view kEndOfPlan = "end of plan";
constexpr std::array<std::pair<JournalMark, std::string_view>, 2> kMarks = {
    {{JournalMark::Placed, "placed"}, {JournalMark::RollingBack, "rolling back"}}};
constexpr std::array<std::pair<PlannedStep::Kind, std::string_view>, 4> kKinds = {
    {{PlannedStep::Kind::NewFile, "new-file"},
     {PlannedStep::Kind::NewFolder, "new-folder"},
     {PlannedStep::Kind::KeptFile, "kept-file"},
     {PlannedStep::Kind::KeptFolder, "kept-folder"}}};
// A plan of a few hundred thousand paths still fits.
constexpr std::size_t kLargestJournal = std::size_t{256} << 20;

// Each unit of text by itself, as UTF-8 would code it, except that a valid surrogate pair is
// one code point: a lone surrogate, which Windows names may hold, survives the round trip.
void AppendWtf8(std::string& out, std::u16string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::uint32_t code = text[at];
        if (code >= 0xD800 && code < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
            text[at + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++at] - 0xDC00u);
        }
        const auto unit = [&out](std::uint32_t bits) { out += static_cast<char>(bits); };
        if (code < 0x80) {
            unit(code);
        } else if (code < 0x800) {
            unit(0xC0 | (code >> 6));
            unit(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            unit(0xE0 | (code >> 12));
            unit(0x80 | ((code >> 6) & 0x3F));
            unit(0x80 | (code & 0x3F));
        } else {
            unit(0xF0 | (code >> 18));
            unit(0x80 | ((code >> 12) & 0x3F));
            unit(0x80 | ((code >> 6) & 0x3F));
            unit(0x80 | (code & 0x3F));
        }
    }
}

// The inverse of AppendWtf8; false for bytes it never writes.
bool ReadWtf8(std::string_view bytes, std::u16string& text) {
    text.clear();
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if ((lead >= 0x80 && lead < 0xC0) || at + length > bytes.size()) return false;
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t more = 1; more < length; ++more) {
            const auto next = static_cast<unsigned char>(bytes[at + more]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        at += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (code >> 10));
            text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
    }
    return true;
}

bool ReadStep(std::string_view line, PlannedStep& step) {
    for (const auto& [kind, name] : kKinds) {
        if (line.size() > name.size() + 1 && line.starts_with(name) && line[name.size()] == ' ') {
            step.kind = kind;
            return ReadWtf8(line.substr(name.size() + 1), step.path);
        }
    }
    return false;
}

base::FileResult WriteFlushed(base::FileSystem& files, const std::u16string& path,
                              std::int64_t keep, const std::string& bytes) {
    std::unique_ptr<base::WritableFile> file;
    base::FileResult result = files.OpenForWriting(path, keep, file);
    if (result.Ok()) result = file->Write(bytes.data(), bytes.size());
    if (result.Ok()) result = file->Flush();
    const base::FileResult closed = file ? file->Close() : base::Succeeded();
    return result.Ok() ? closed : result;
}

}  // namespace

std::string JournalText(const std::vector<PlannedStep>& plan) {
    std::string text(kHeader);
    text += '\n';
    for (const PlannedStep& step : plan) {
        for (const auto& [kind, name] : kKinds) {
            if (kind == step.kind) text += name;
        }
        text += ' ';
        AppendWtf8(text, step.path);
        text += '\n';
    }
    text += kEndOfPlan;
    text += '\n';
    return text;
}

Journal ParseJournal(std::string_view text) {
    Journal journal;
    bool header = false;
    // A line counts once its line break is there: a line cut short by a crash was not written.
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!header) {
            if (line != kHeader) return {};
            header = true;
        } else if (journal.state == Journal::State::Unwritten) {
            PlannedStep step{};
            if (line == kEndOfPlan) {
                journal.state = Journal::State::Planned;
            } else if (ReadStep(line, step)) {
                journal.plan.push_back(std::move(step));
            } else {
                return {};
            }
        } else {
            for (const auto& [mark, name] : kMarks) {
                if (line != name) continue;
                journal.state = mark == JournalMark::Placed ? Journal::State::Placed
                                                            : Journal::State::RollingBack;
            }
        }
    }
    if (journal.state == Journal::State::Unwritten) journal.plan.clear();
    return journal;
}

base::FileResult WriteJournal(base::FileSystem& files, const std::u16string& path,
                              const std::vector<PlannedStep>& plan) {
    return WriteFlushed(files, path, 0, JournalText(plan));
}

base::FileResult MarkJournal(base::FileSystem& files, const std::u16string& path,
                             JournalMark mark) {
    // Its length, to append after: the file is only ever written by this program.
    std::string current;
    if (const base::FileResult read = files.ReadSmallFile(path, kLargestJournal, current);
        !read.Ok()) {
        return read;
    }
    std::string line;
    for (const auto& [which, name] : kMarks) {
        if (which == mark) line = std::string(name) + '\n';
    }
    return WriteFlushed(files, path, static_cast<std::int64_t>(current.size()), line);
}

base::FileResult ReadJournal(base::FileSystem& files, const std::u16string& path,
                             Journal& journal) {
    std::string bytes;
    const base::FileResult read = files.ReadSmallFile(path, kLargestJournal, bytes);
    journal = read.Ok() ? ParseJournal(bytes) : Journal{};
    return read;
}

}  // namespace app
