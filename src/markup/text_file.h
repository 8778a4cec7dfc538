#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The platform's side of reading a text file; file_posix.cpp or file_win.cpp is built.
namespace markup {

// Opens a file for reading in binary mode, letting others read and write it meanwhile.
// Null with errno set when it cannot be opened.
std::FILE* OpenSharedForReading(const std::u16string& path);

// The file's size, the position of its end, while the file stays positioned at its start; -1
// with errno set when it cannot be found or the path names a folder.
int64_t FileSizeOf(std::FILE* file);

// The C library's message for an errno value, cut before its first CR or LF.
std::u16string SystemErrorText(int error);

}  // namespace markup
