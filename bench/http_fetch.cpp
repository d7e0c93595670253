// Throughput of FetchUrlBytes (512-byte reads with message processing between them) against a plain
// WinINet loop with 64 KiB reads, both reading the same loopback server in the same run; a plain
// loop with 512-byte reads shows how much of the difference is the read size alone.
//
//   scripts/wine-run.sh build build/bench/bench_http_fetch.exe [repeats]
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "helpers/http_client.h"
#include "support/loopback_http_server.h"

namespace {

std::size_t PlainFetch(const std::string& host, int port, const std::string& path, DWORD piece) {
    std::size_t total = 0;
    HINTERNET root = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(root, host.c_str(), static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                         INTERNET_FLAG_RELOAD, 0);
    if (request && HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        std::vector<char> reply;
        std::vector<char> buffer(piece);
        DWORD count = 0;
        while (InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &count) && count > 0)
            reply.insert(reply.end(), buffer.data(), buffer.data() + count);
        total = reply.size();
    }
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (root) InternetCloseHandle(root);
    return total;
}

double Seconds(const std::function<std::size_t()>& fetch, std::size_t expected) {
    auto start = std::chrono::steady_clock::now();
    std::size_t got = fetch();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (got != expected) {
        std::printf("short reply: %zu of %zu bytes\n", got, expected);
        std::exit(1);
    }
    return seconds;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    LoopbackHttpServer server;
    if (!server.Start()) {
        std::printf("cannot start the loopback server\n");
        return 1;
    }
    // Each size twice: once marked "no-store" (the read loop alone) and once cacheable, as most
    // pages are, so that WinINet also writes the reply to its cache.
    struct Variant {
        std::size_t size;
        bool cacheable;
        std::string path;
    };
    std::vector<Variant> variants;
    for (std::size_t size : {std::size_t(1) << 20, std::size_t(10) << 20}) {
        for (bool cacheable : {false, true}) {
            LoopbackReply reply;
            reply.generatedLength = size;
            reply.headerLines.push_back("Content-Type: application/octet-stream");
            if (!cacheable) reply.headerLines.push_back("Cache-Control: no-store");
            std::string path = "/body-" + std::to_string(size) + (cacheable ? "-cached" : "-nostore");
            server.SetReply(path, reply);
            variants.push_back({size, cacheable, path});
        }
    }

    std::printf("%-7s %-10s %-24s %12s %10s\n", "reply", "cache", "reader", "median MB/s", "best MB/s");
    for (const Variant& v : variants) {
        std::string url = server.Url(v.path);
        std::vector<double> client, plain, small;
        // Alternate the readers so that all see the same machine state.
        for (int i = 0; i < repeats; ++i) {
            client.push_back(Seconds([&] { return FetchUrlBytes(url).size(); }, v.size));
            plain.push_back(Seconds([&] { return PlainFetch("127.0.0.1", server.Port(), v.path, 64 * 1024); }, v.size));
            small.push_back(Seconds([&] { return PlainFetch("127.0.0.1", server.Port(), v.path, 512); }, v.size));
        }
        double mb = v.size / 1e6;
        std::printf("%-7s %-10s %-24s %12.1f %10.1f\n", v.size == (1u << 20) ? "1 MiB" : "10 MiB",
                    v.cacheable ? "cacheable" : "no-store", "FetchUrlBytes (512 B)", mb / Median(client),
                    mb / *std::min_element(client.begin(), client.end()));
        std::printf("%-7s %-10s %-24s %12.1f %10.1f\n", "", "", "plain WinINet (64 KiB)", mb / Median(plain),
                    mb / *std::min_element(plain.begin(), plain.end()));
        // The same small reads without the message processing: what the read size alone costs.
        std::printf("%-7s %-10s %-24s %12.1f %10.1f\n", "", "", "plain WinINet (512 B)", mb / Median(small),
                    mb / *std::min_element(small.begin(), small.end()));
    }
    return 0;
}
