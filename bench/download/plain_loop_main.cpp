// plain_loop.exe HOST PORT OBJECT LOCALPATH [CHUNK [available]]: the baseline for the download
// benchmark. The fewest WinINet calls that fetch a body in CHUNK-byte reads (default 4096) into
// a stdio file, nothing checked beyond what the loop needs. With "available" each read asks
// only for what InternetQueryDataAvailable reports, at most CHUNK, as download.exe does.

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

class Internet {
  public:
    explicit Internet(HINTERNET opened) : handle(opened) {}
    ~Internet() {
        if (handle) InternetCloseHandle(handle);
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    HINTERNET get() const { return handle; }

  private:
    HINTERNET handle;
};

int Run(int argc, wchar_t** argv) {
    if (argc < 5 || argc > 7) {
        std::fputs("usage: plain_loop.exe HOST PORT OBJECT LOCALPATH [CHUNK [available]]\n",
                   stderr);
        return 2;
    }
    const DWORD chunk = argc >= 6 ? std::wcstoul(argv[5], nullptr, 10) : 4096;
    const bool available = argc == 7 && std::wcscmp(argv[6], L"available") == 0;
    if (chunk == 0 || chunk > (1u << 24)) return 2;
    const auto port = static_cast<INTERNET_PORT>(std::wcstoul(argv[2], nullptr, 10));
    Internet internet(
        InternetOpenW(L"plain-loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet.get()) return 1;
    Internet connection(InternetConnectW(internet.get(), argv[1], port, nullptr, nullptr,
                                         INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.get()) return 1;
    Internet request(HttpOpenRequestW(connection.get(), L"GET", argv[3], L"HTTP/1.1", nullptr,
                                      nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!request.get() || !HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return 1;

    std::FILE* file = _wfopen(argv[4], L"wb+");
    if (!file) return 1;
    std::vector<char> buffer(chunk);
    DWORD read = 0;
    long long total = 0;
    for (;;) {
        DWORD toRead = chunk;
        if (available) {
            DWORD there = 0;
            if (!InternetQueryDataAvailable(request.get(), &there, 0, 0) || there == 0) break;
            toRead = there < chunk ? there : chunk;
        }
        if (!InternetReadFile(request.get(), buffer.data(), toRead, &read) || read == 0) break;
        std::fwrite(buffer.data(), 1, read, file);
        total += read;
    }
    std::fclose(file);
    std::fprintf(stdout, "%lld\n", total);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        return 1;
    }
}
