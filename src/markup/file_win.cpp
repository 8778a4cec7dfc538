#include <share.h>
#include <stdio.h>
#include <string.h>

#include <cerrno>

#include "markup/text_file.h"

namespace markup {
namespace {

// wchar_t is UTF-16 on Windows, so the text passes unit for unit.
const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

std::FILE* OpenSharedForReading(const std::u16string& path) {
    if (path.find(u'\0') != std::u16string::npos) {
        errno = ENOENT;  // the C library would silently cut the path there
        return nullptr;
    }
    return _wfsopen(Wide(path), L"rb", _SH_DENYNO);
}

int64_t FileSizeOf(std::FILE* file) {
    if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
    const int64_t size = _ftelli64(file);
    if (size < 0 || _fseeki64(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

std::u16string SystemErrorText(int error) {
    const wchar_t* message = _wcserror(error);
    std::u16string text(reinterpret_cast<const char16_t*>(message), wcslen(message));
    const size_t lineEnd = text.find_first_of(u"\r\n");
    if (lineEnd != std::u16string::npos) text.resize(lineEnd);
    return text;
}

}  // namespace markup
