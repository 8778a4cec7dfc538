#pragma once
// A fresh Linux folder for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace apptest {

struct TempFolder {
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "apptest-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(path); }

    // As Windows reports a temporary directory: with a trailing backslash.
    std::u16string AsTempPath() const {
        const std::string text = path.string();
        return std::u16string(text.begin(), text.end()) + u"\\";
    }

    std::filesystem::path path;
};

}  // namespace apptest
