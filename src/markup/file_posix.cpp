#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "markup/text_file.h"
#include "markup/utf8_text.h"

namespace markup {
namespace {

// The program composes Windows paths, with backslashes, also when its core runs natively on
// Linux; there every backslash is taken as "/" so that such a path names the same file.
std::string NativePath(const std::u16string& path) {
    // Plain ASCII, the usual case, maps unit for unit.
    size_t ascii = 0;
    while (ascii < path.size() && path[ascii] < 0x80) ++ascii;
    std::string out(ascii, '\0');
    for (size_t i = 0; i < ascii; ++i) {
        out[i] = path[i] == u'\\' ? '/' : static_cast<char>(path[i]);
    }
    for (size_t i = ascii; i < path.size(); ++i) {
        uint32_t c = path[i];
        if (c == u'\\') c = u'/';
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace

std::FILE* OpenSharedForReading(const std::u16string& path) {
    const std::string native = NativePath(path);
    if (native.find('\0') != std::string::npos) {
        errno = ENOENT;  // the C library would silently cut the path there
        return nullptr;
    }
    return std::fopen(native.c_str(), "rb");
}

int64_t FileSizeOf(std::FILE* file) {
    // For a regular file the end position is its size; asking the file system directly saves
    // the seeks, which the C library turns into several system calls each.
    struct stat info;
    if (fstat(fileno(file), &info) != 0) return -1;
    // Linux opens folders for reading; Windows refuses them, and so does this reader.
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

std::u16string SystemErrorText(int error) {
    const char* message = std::strerror(error);
    std::u16string text;
    Utf8ToText(reinterpret_cast<const uint8_t*>(message), std::strlen(message), text);
    const size_t lineEnd = text.find_first_of(u"\r\n");
    if (lineEnd != std::u16string::npos) text.resize(lineEnd);
    return text;
}

}  // namespace markup
