#include <cstdio>
#include <limits>
#include <memory>

#include "markup/markup_doc.h"
#include "markup/text_file.h"
#include "markup/text_util.h"
#include "markup/utf8_text.h"

namespace markup {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file as UTF-8 into text and puts the load line into result. False, with the
// reason in result and text untouched, when the file cannot be read or is too large to be
// addressed with 32-bit offsets.
bool ReadTextFile(const std::u16string& path, std::u16string& text, std::u16string& result) {
    std::unique_ptr<std::FILE, FileCloser> file(OpenSharedForReading(path));
    if (!file) {
        result = SystemErrorText();
        return false;
    }
    // The whole file goes in one read straight into the text, so the stream's own buffer
    // would only add a copy.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const int64_t size = FileSizeOf(file.get());
    if (size < 0) {
        result = SystemErrorText();
        return false;
    }
    // Units never outnumber bytes, so a size that fits also gives a unit count that fits.
    if (size > std::numeric_limits<int32_t>::max()) {
        result.clear();
        AppendAscii(result, "File of ");
        AppendDecimal(result, size);
        AppendAscii(result, " bytes is too large");
        return false;
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
    result.clear();
    result.reserve(48);
    AppendDecimal(result, size);
    AppendAscii(result, " bytes to ");
    AppendDecimal(result, static_cast<int64_t>(text.size()));
    AppendAscii(result, " wide chars");
    return true;
}

}  // namespace

bool MarkupDoc::LoadUtf8(std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        resultText.clear();
        AppendAscii(resultText, "Text is too large");
        return false;
    }
    std::u16string().swap(docText);
    Utf8ToText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), docText);
    resultText.clear();
    AppendDecimal(resultText, static_cast<int64_t>(bytes.size()));
    AppendAscii(resultText, " bytes to ");
    AppendDecimal(resultText, static_cast<int64_t>(docText.size()));
    AppendAscii(resultText, " wide chars");
    return Parse();
}

bool MarkupDoc::LoadFile(const std::u16string& path) {
    if (!ReadTextFile(path, docText, resultText)) return false;
    return Parse();
}

}  // namespace markup
