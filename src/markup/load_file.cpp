#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>

#include "markup/markup_doc.h"
#include "markup/text_file.h"
#include "markup/utf8_text.h"

namespace markup {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file as UTF-8 into text and returns its size in bytes; -1, with the reason in
// result and text untouched, when the file cannot be read or is too large to be addressed with
// 32-bit offsets.
int64_t ReadTextFile(const std::u16string& path, std::u16string& text, ParseResult& result) {
    std::unique_ptr<std::FILE, FileCloser> file(OpenSharedForReading(path));
    // The whole file goes in one read straight into the text, so the stream's own buffer
    // would only add a copy.
    if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const int64_t size = file ? FileSizeOf(file.get()) : -1;
    if (size < 0) {
        result = ParseResult{.status = Status::FileUnreadable, .systemError = errno};
        return -1;
    }
    // Units never outnumber bytes, so a size that fits also gives a unit count that fits.
    if (size > std::numeric_limits<int32_t>::max()) {
        result = ParseResult{.status = Status::TooLarge, .bytes = size};
        return -1;
    }
    // The old text goes first so that it never sits in memory beside the new one.
    std::u16string().swap(text);
    if (size > 0) {
        // One read into the text's own storage, converted there: the bytes need no buffer of
        // their own and the units are written once.
        uint8_t* bytes = PrepareUtf8InPlace(text, static_cast<size_t>(size));
        const size_t read = std::fread(bytes, 1, static_cast<size_t>(size), file.get());
        file.reset();
        // A short read converts only what arrived.
        ConvertUtf8InPlace(text, read);
    }
    return size;
}

}  // namespace

bool MarkupDoc::LoadUtf8(std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        result =
            ParseResult{.status = Status::TooLarge, .bytes = static_cast<int64_t>(bytes.size())};
        return false;
    }
    std::u16string().swap(docText);
    Utf8ToText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), docText);
    return Parse(static_cast<int64_t>(bytes.size()));
}

bool MarkupDoc::LoadFile(const std::u16string& path) {
    const int64_t bytes = ReadTextFile(path, docText, result);
    return bytes >= 0 && Parse(bytes);
}

}  // namespace markup
