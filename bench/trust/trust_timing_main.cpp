// trust_timing.exe PACKAGE MANIFEST SIGNATURE KEY: how long the package digest and the manifest
// signature check take with the updater's own Win32 calls, in milliseconds.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/log/run_log.h"
#include "app/trust/trust_encoding.h"
#include "win/file_system.h"
#include "win/trust.h"
#include "win/wide.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fputs("usage: trust_timing.exe PACKAGE MANIFEST SIGNATURE KEY\n", stderr);
        return 2;
    }
    auto arg = [&](int i) { return win::FromWide(argv[i]); };
    app::NoLog log;
    win::WinTrust trust(log);
    win::WinFileSystem files;
    // As the run reads the key and the signature: whole, or not at all.
    auto read = [&](const std::u16string& path,
                    std::size_t maxBytes) -> std::optional<std::string> {
        std::string bytes;
        if (!files.ReadSmallFile(path, maxBytes, bytes).Ok()) return std::nullopt;
        return bytes;
    };
    LARGE_INTEGER start, digested, verified;

    QueryPerformanceCounter(&start);
    const bool digest = trust.FileSha256(arg(1)).has_value();
    QueryPerformanceCounter(&digested);
    // As the run does it: read and parse the key and the signature, hash the manifest, verify.
    const auto pem = read(arg(4), 64 * 1024);
    const auto der = read(arg(3), 4 * 1024);
    const auto keys = pem ? app::ReadP256PublicKeysPem(*pem) : std::vector<app::P256PublicKey>{};
    const auto signature = der ? app::ReadDerSignature(*der) : std::nullopt;
    const auto manifest = read(arg(2), 1 << 20);
    const auto manifestDigest = manifest ? trust.Sha256(*manifest) : std::nullopt;
    const bool holds = !keys.empty() && signature && manifestDigest &&
                       trust.VerifyP256(keys.front(), *manifestDigest, *signature);
    QueryPerformanceCounter(&verified);

    std::printf("digest_ms=%.1f ok=%d\nsignature_ms=%.1f holds=%d\n", Milliseconds(start, digested),
                digest, Milliseconds(digested, verified), holds);
    return digest && holds ? 0 : 1;
}
