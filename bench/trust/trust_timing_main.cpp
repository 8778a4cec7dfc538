// trust_timing.exe PACKAGE MANIFEST SIGNATURE KEY: how long the package digest and the manifest
// signature check take with the updater's own Win32 calls, in milliseconds.

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/trust_encoding.h"
#include "win/net_api.h"
#include "win/win_platform.h"

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
    auto arg = [&](int i) { return std::u16string(reinterpret_cast<const char16_t*>(argv[i])); };
    win::WinNetApi net;
    win::WinPlatform platform(net);
    LARGE_INTEGER start, digested, verified;

    QueryPerformanceCounter(&start);
    const bool digest = platform.FileSha256(arg(1)).has_value();
    QueryPerformanceCounter(&digested);
    // As the run does it: read and parse the key and the signature, hash the manifest, verify.
    const auto pem = platform.ReadSmallFile(arg(4), 64 * 1024);
    const auto der = platform.ReadSmallFile(arg(3), 4 * 1024);
    const auto key = pem ? app::ReadP256PublicKeyPem(*pem) : std::nullopt;
    const auto signature = der ? app::ReadDerSignature(*der) : std::nullopt;
    const auto manifest = platform.ReadSmallFile(arg(2), 1 << 20);
    const auto manifestDigest = manifest ? platform.Sha256(*manifest) : std::nullopt;
    const bool holds = key && signature && manifestDigest &&
                       platform.VerifyP256(*key, *manifestDigest, *signature);
    QueryPerformanceCounter(&verified);

    std::printf("digest_ms=%.1f ok=%d\nsignature_ms=%.1f holds=%d\n", Milliseconds(start, digested),
                digest, Milliseconds(digested, verified), holds);
    return digest && holds ? 0 : 1;
}
