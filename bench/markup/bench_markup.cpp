// Times the markup reader against pugixml on generated files and prints, for each file, the
// median MB/s of the UTF-8 input over 5 runs, the ratio ours/pugixml, and the peak memory of
// one load as a multiple of the file size.
//
// Every timed run happens in a fresh child process, as the updater loads its one manifest in a
// fresh process: a run in a warm process would let one side reuse pages that the C library
// kept from the run before, which says more about the allocator than about the reader. The
// child reports the time of the load call alone, and for peak memory the growth of its VmHWM.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "bench_files.h"
#include "markup/markup_doc.h"

namespace {

constexpr int kRuns = 5;

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

long StatusKilobytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    const size_t fieldLength = std::strlen(field);
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, fieldLength) == 0) value = std::atol(line + fieldLength);
    }
    if (status != nullptr) std::fclose(status);
    return value;
}

std::string ReadAll(const char* path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path, "rb")) {
        char chunk[65536];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
        std::fclose(file);
    }
    return bytes;
}

// Child mode: `repeat` loads of one kind; prints the seconds they took, the growth of the peak
// resident set in kB, and whether every load succeeded.
int RunChild(const std::string& mode, const char* path, int repeat) {
    // Inputs for the in-memory parsers are prepared before the clock starts.
    // Like the in-place peer, each run gets its own copy of the input to consume.
    std::vector<std::u16string> texts;
    std::vector<std::vector<char>> buffers;
    if (mode == "set") {
        markup::MarkupDoc loaded;
        loaded.LoadFile(Widen(path));
        texts.assign(static_cast<size_t>(repeat), loaded.DocText());
    } else if (mode == "inplace") {
        const std::string bytes = ReadAll(path);
        buffers.assign(static_cast<size_t>(repeat), std::vector<char>(bytes.begin(), bytes.end()));
    }
    const std::u16string widePath = Widen(path);
    const long before = StatusKilobytes("VmRSS:");
    bool ok = true;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i) {
        if (mode == "load") {
            markup::MarkupDoc doc;
            ok = doc.LoadFile(widePath) && ok;
        } else if (mode == "load_file") {
            pugi::xml_document doc;
            ok = doc.load_file(path) && ok;
        } else if (mode == "set") {
            markup::MarkupDoc doc;
            ok = doc.SetDocument(std::move(texts[static_cast<size_t>(i)])) && ok;
        } else {
            pugi::xml_document doc;
            std::vector<char>& buffer = buffers[static_cast<size_t>(i)];
            ok = doc.load_buffer_inplace(buffer.data(), buffer.size()) && ok;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.9f %ld %d\n", seconds, StatusKilobytes("VmHWM:") - before, ok ? 1 : 0);
    return 0;
}

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

Run RunInChild(const char* self, const char* mode, const std::string& path, int repeat) {
    const std::string command =
        std::string(self) + " --child " + mode + " '" + path + "' " + std::to_string(repeat);
    Run run;
    if (std::FILE* child = popen(command.c_str(), "r")) {
        int ok = 0;
        if (std::fscanf(child, "%lf %ld %d", &run.seconds, &run.peakKilobytes, &ok) == 3) {
            run.ok = ok == 1;
        }
        pclose(child);
    }
    return run;
}

struct Figures {
    double rate;          // median MB/s
    double peakMultiple;  // of the file size, from the first run
    bool ok;
};

// Both sides run alternately so that they see the same machine load.
void Compare(const char* self, const char* what, const char* ours, const char* peerWhat,
             const char* peer, const std::string& path, size_t bytes, int repeat, bool showPeak) {
    std::vector<double> a, b;
    Figures fa{0, 0, true}, fb{0, 0, true};
    const double megabytes = static_cast<double>(bytes) * repeat / 1e6;
    for (int run = 0; run < kRuns; ++run) {
        const Run x = RunInChild(self, ours, path, repeat);
        const Run y = RunInChild(self, peer, path, repeat);
        a.push_back(megabytes / x.seconds);
        b.push_back(megabytes / y.seconds);
        fa.ok = fa.ok && x.ok;
        fb.ok = fb.ok && y.ok;
        if (run == 0) {
            fa.peakMultiple =
                static_cast<double>(x.peakKilobytes) * 1024.0 / static_cast<double>(bytes);
            fb.peakMultiple =
                static_cast<double>(y.peakKilobytes) * 1024.0 / static_cast<double>(bytes);
        }
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    fa.rate = a[kRuns / 2];
    fb.rate = b[kRuns / 2];
    std::printf("  %-12s %8.1f MB/s   pugixml %-19s %8.1f MB/s   ratio %.2f%s\n", what, fa.rate,
                peerWhat, fb.rate, fa.rate / fb.rate, fa.ok && fb.ok ? "" : "  (a load failed)");
    if (repeat > 1) {
        std::printf("  %-12s %8.1f us per load                   %8.1f us per load\n", "",
                    static_cast<double>(bytes) / fa.rate, static_cast<double>(bytes) / fb.rate);
    }
    if (showPeak) {
        std::printf("  %-12s peak memory %.2fx file size      pugixml %.2fx\n", "", fa.peakMultiple,
                    fb.peakMultiple);
    }
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argv[2], argv[3], std::atoi(argv[4]));
    }

    char folderPattern[] = "/tmp/bench_markup_XXXXXX";
    if (mkdtemp(folderPattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folderPattern;
    // An optional argument sets the size of the two large files in MiB.
    const size_t big = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64) << 20;
    const struct {
        const char* label;
        const char* name;
        std::string bytes;
        int repeat;
    } files[] = {
        {"manifest-like", "manifest.xml", MakeManifestFile(big), 1},
        {"mixed with Chinese text", "mixed.xml", MakeMixedFile(big), 1},
        {"1 KiB manifest", "small.xml", MakeManifestFile(1024), 2000},
    };
    for (const auto& file : files) {
        const std::string path = folder + "/" + file.name;
        if (!WriteFile(path, file.bytes)) {
            std::perror(path.c_str());
            return 1;
        }
        std::printf("%s: %zu bytes%s\n", file.label, file.bytes.size(),
                    file.repeat > 1 ? ", 2000 loads per run" : "");
        const bool showPeak = file.repeat == 1;
        Compare(argv[0], "LoadFile", "load", "load_file", "load_file", path, file.bytes.size(),
                file.repeat, showPeak);
        Compare(argv[0], "SetDocument", "set", "load_buffer_inplace", "inplace", path,
                file.bytes.size(), file.repeat, false);
        std::remove(path.c_str());
    }
    rmdir(folder.c_str());
    return 0;
}
