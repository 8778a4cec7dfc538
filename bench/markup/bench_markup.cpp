// Times the markup reader against pugixml on generated files and prints the figures:
// median MB/s of the UTF-8 input over 5 runs, the ratio ours/pugixml, and the peak memory of
// one load as a multiple of the file size (from VmHWM of a fresh child process).
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
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

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One figure for each side, timed alternately so that both see the same machine load.
// setup runs before each timed call, outside the timing.
struct Pair {
    double ours, peer;
};
Pair MedianRates(double megabytes, const std::function<void()>& setup,
                 const std::function<void()>& ours, const std::function<void()>& peer) {
    std::vector<double> a, b;
    for (int run = 0; run < kRuns; ++run) {
        setup();
        a.push_back(megabytes / Seconds(ours));
        setup();
        b.push_back(megabytes / Seconds(peer));
    }
    return {Median(a), Median(b)};
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

// Child mode: one load in a fresh process; prints the growth of its peak resident set in kB.
int MeasurePeak(const char* which, const char* path) {
    const long before = StatusKilobytes("VmRSS:");
    if (std::strcmp(which, "ours") == 0) {
        markup::MarkupDoc doc;
        doc.LoadFile(Widen(path));
        std::printf("%ld\n", StatusKilobytes("VmHWM:") - before);
    } else {
        pugi::xml_document doc;
        doc.load_file(path);
        std::printf("%ld\n", StatusKilobytes("VmHWM:") - before);
    }
    return 0;
}

double PeakMultiple(const char* self, const char* which, const std::string& path, size_t bytes) {
    const std::string command = std::string(self) + " --peak " + which + " '" + path + "'";
    std::FILE* child = popen(command.c_str(), "r");
    long kilobytes = -1;
    if (child != nullptr) {
        if (std::fscanf(child, "%ld", &kilobytes) != 1) kilobytes = -1;
        pclose(child);
    }
    return kilobytes * 1024.0 / static_cast<double>(bytes);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

void BenchFile(const char* self, const char* label, const std::string& path,
               const std::string& bytes, int repeat) {
    const double megabytes = static_cast<double>(bytes.size()) * repeat / 1e6;
    const std::u16string widePath = Widen(path);
    std::printf("%s: %zu bytes%s\n", label, bytes.size(),
                repeat > 1 ? (", " + std::to_string(repeat) + " loads per run").c_str() : "");

    bool ok = true;
    const Pair load = MedianRates(
        megabytes, [] {},
        [&] {
            for (int i = 0; i < repeat; ++i) {
                markup::MarkupDoc doc;
                ok = doc.LoadFile(widePath) && ok;
            }
        },
        [&] {
            for (int i = 0; i < repeat; ++i) {
                pugi::xml_document doc;
                ok = doc.load_file(path.c_str()) && ok;
            }
        });
    std::printf(
        "  LoadFile     %8.1f MB/s   pugixml load_file          %8.1f MB/s   ratio %.2f%s\n",
        load.ours, load.peer, load.ours / load.peer, ok ? "" : "  (a load failed)");

    markup::MarkupDoc loaded;
    loaded.LoadFile(widePath);
    const std::u16string text = loaded.DocText();
    // In-place parsing changes its buffer, so every load gets a fresh copy, made untimed.
    std::vector<std::vector<char>> buffers(static_cast<size_t>(repeat));
    ok = true;
    const Pair parse = MedianRates(
        megabytes,
        [&] {
            for (auto& buffer : buffers) buffer.assign(bytes.begin(), bytes.end());
        },
        [&] {
            for (int i = 0; i < repeat; ++i) {
                markup::MarkupDoc doc;
                ok = doc.SetDocument(text.c_str()) && ok;
            }
        },
        [&] {
            for (int i = 0; i < repeat; ++i) {
                pugi::xml_document doc;
                std::vector<char>& buffer = buffers[static_cast<size_t>(i)];
                ok = doc.load_buffer_inplace(buffer.data(), buffer.size()) && ok;
            }
        });
    std::printf(
        "  SetDocument  %8.1f MB/s   pugixml load_buffer_inplace %7.1f MB/s   ratio %.2f%s\n",
        parse.ours, parse.peer, parse.ours / parse.peer, ok ? "" : "  (a parse failed)");
    if (repeat > 1) {
        std::printf("  per load: LoadFile %.1f us, pugixml load_file %.1f us\n",
                    bytes.size() / load.ours, bytes.size() / load.peer);
    } else {
        std::printf("  peak memory of one load: LoadFile %.2fx file size, pugixml %.2fx\n",
                    PeakMultiple(self, "ours", path, bytes.size()),
                    PeakMultiple(self, "pugixml", path, bytes.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return MeasurePeak(argv[2], argv[3]);

    char folderPattern[] = "/tmp/bench_markup_XXXXXX";
    if (mkdtemp(folderPattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string folder = folderPattern;
    const size_t big = argc > 1 ? std::strtoul(argv[1], nullptr, 10) << 20 : 64u << 20;
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
        BenchFile(argv[0], file.label, path, file.bytes, file.repeat);
        std::remove(path.c_str());
    }
    rmdir(folder.c_str());
    return 0;
}
