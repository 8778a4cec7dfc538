#include "app/log/update_log.h"

namespace app {
namespace {

void AppendDigits(std::string& out, int value, int width) {
    std::string digits;
    for (unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value); rest != 0; rest /= 10) {
        digits.insert(digits.begin(), static_cast<char>('0' + rest % 10));
    }
    if (digits.size() < static_cast<std::size_t>(width))
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Units that could make a line of their own, or make one look like another, in a reader of
// the log: C0 and C1 controls, the Unicode line and paragraph separators, and the marks and
// overrides that change the direction of text (U+202E shows "exe.txt" as "txt.exe").
bool BreaksTheLine(char16_t unit) {
    return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x200E || unit == 0x200F ||
           (unit >= 0x2028 && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069);
}

}  // namespace

std::string LogLine(const LogTime& time, std::u16string_view text) {
    std::string line;
    line.reserve(text.size() + 32);
    const struct {
        int value, width;
        char after;
    } stamp[] = {{time.year, 4, '-'},       {time.month, 2, '-'},  {time.day, 2, ' '},
                 {time.hour, 2, ':'},       {time.minute, 2, ':'}, {time.second, 2, '.'},
                 {time.millisecond, 3, ' '}};
    for (const auto& part : stamp) {
        AppendDigits(line, part.value, part.width);
        line += part.after;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (BreaksTheLine(unit)) {
            line += ' ';
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
                   text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(line, static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) +
                                                   (text[i + 1] - 0xDC00)));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(line, 0xFFFD);
        } else {
            AppendUtf8(line, unit);
        }
    }
    line += "\r\n";
    return line;
}

void FileRunLog::Write(std::u16string_view line) {
    pending += LogLine(clock(), line);
    Flush();
}

void FileRunLog::UseFolder(std::u16string_view folder) {
    path = std::u16string(folder) + std::u16string(kFileName);
    Flush();
}

void FileRunLog::Flush() {
    if (path.empty() || pending.empty()) return;
    // Kept for the next line when the write fails: a passing fault loses nothing.
    if (append(path, pending)) pending.clear();
}

}  // namespace app
