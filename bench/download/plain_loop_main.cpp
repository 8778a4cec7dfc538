// plain_loop.exe HOST PORT OBJECT LOCALPATH [CHUNK [WORD...]]: the baseline for the download
// benchmark. The fewest WinINet calls that fetch a body in CHUNK-byte reads (default 4096) into
// a stdio file, nothing checked beyond what the loop needs. Words add one thing download.exe
// does, to find what costs: "available" (each read asks only for what
// InternetQueryDataAvailable reports, at most CHUNK), "timeouts" (connect, send and receive
// time-outs of 30 s on the request), "thread" (the loop on a worker thread, the main thread
// waking every 250 ms) and "writefile" (CreateFileW and WriteFile instead of stdio).

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <string>
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

struct Loop {
    DWORD chunk = 4096;
    bool available = false, timeouts = false, thread = false, writeFile = false;
    wchar_t** argv = nullptr;
    int result = 1;
};

int Fetch(const Loop& loop) {
    wchar_t** argv = loop.argv;
    const DWORD chunk = loop.chunk;
    const auto port = static_cast<INTERNET_PORT>(std::wcstoul(argv[2], nullptr, 10));
    Internet internet(
        InternetOpenW(L"plain-loop", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet.get()) return 1;
    Internet connection(InternetConnectW(internet.get(), argv[1], port, nullptr, nullptr,
                                         INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.get()) return 1;
    Internet request(HttpOpenRequestW(connection.get(), L"GET", argv[3], L"HTTP/1.1", nullptr,
                                      nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!request.get()) return 1;
    if (loop.timeouts) {
        for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                   INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD ms = 30000;
            InternetSetOptionW(request.get(), option, &ms, sizeof ms);
        }
    }
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return 1;

    std::FILE* file = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (loop.writeFile) {
        handle = CreateFileW(argv[4], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return 1;
    } else {
        file = _wfopen(argv[4], L"wb+");
        if (!file) return 1;
    }
    std::vector<char> buffer(chunk);
    DWORD read = 0;
    long long total = 0;
    for (;;) {
        DWORD toRead = chunk;
        if (loop.available) {
            DWORD there = 0;
            if (!InternetQueryDataAvailable(request.get(), &there, 0, 0) || there == 0) break;
            toRead = there < chunk ? there : chunk;
        }
        if (!InternetReadFile(request.get(), buffer.data(), toRead, &read) || read == 0) break;
        if (file) {
            std::fwrite(buffer.data(), 1, read, file);
        } else {
            DWORD written = 0;
            WriteFile(handle, buffer.data(), read, &written, nullptr);
        }
        total += read;
    }
    if (file) std::fclose(file);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    std::fprintf(stdout, "%lld\n", total);
    return 0;
}

DWORD WINAPI Worker(void* parameter) {
    auto* loop = static_cast<Loop*>(parameter);
    loop->result = Fetch(*loop);
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::fputs("usage: plain_loop.exe HOST PORT OBJECT LOCALPATH [CHUNK [WORD...]]\n", stderr);
        return 2;
    }
    Loop loop;
    loop.argv = argv;
    loop.chunk = argc >= 6 ? std::wcstoul(argv[5], nullptr, 10) : 4096;
    for (int i = 6; i < argc; ++i) {
        const std::wstring word = argv[i];
        loop.available |= word == L"available";
        loop.timeouts |= word == L"timeouts";
        loop.thread |= word == L"thread";
        loop.writeFile |= word == L"writefile";
    }
    if (loop.chunk == 0 || loop.chunk > (1u << 24)) return 2;
    if (!loop.thread) return Fetch(loop);
    HANDLE worker = CreateThread(nullptr, 0, Worker, &loop, 0, nullptr);
    if (!worker) return 1;
    while (WaitForSingleObject(worker, 250) == WAIT_TIMEOUT) {
    }
    CloseHandle(worker);
    return loop.result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        return 1;
    }
}
