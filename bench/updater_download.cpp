// The updater's download against the loopback server, with the progress shown after every chunk,
// compared with the same request read by a bare WinINet loop into a file in the same run (the limit:
// what the transfer itself costs). Also what one progress update (bar, label, pending messages) costs
// next to the time one 16,384-byte chunk takes to arrive.
#include "runtime/files.h"
#include "support/loopback_http_server.h"
#include "updater/download.h"
#include "updater/state.h"
#include "updater/window.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The same request, read in 16,384-byte pieces and written to a file, nothing shown.
bool BareDownload(const std::string& url, const Text& path)
{
    HINTERNET root = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr, 0);
    HINTERNET request = InternetOpenUrlA(root, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<unsigned char> buffer(16384);
    bool ok = request && file != INVALID_HANDLE_VALUE;
    for (DWORD got = 0; ok && InternetReadFile(request, buffer.data(), 16384, &got) && got;) {
        DWORD written = 0;
        ok = WriteFile(file, buffer.data(), got, &written, nullptr) && written == got;
    }
    if (file != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(file);
        CloseHandle(file);
    }
    if (request)
        InternetCloseHandle(request);
    InternetCloseHandle(root);
    return ok;
}

}  // namespace

int main()
{
    const std::uint64_t size = 8u * 1024u * 1024u;
    LoopbackHttpServer server;
    if (!server.Start())
        return 1;
    LoopbackReply reply = LoopbackReply::Ok("", "application/octet-stream");
    reply.generatedLength = size;
    // A 32-bit program's first bytes ("MZ", e_lfanew 0x40, "PE\0\0", i386), the letter pattern after.
    reply.generate = [](std::uint64_t offset, char* out, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t at = offset + i;
            out[i] = at < 0x46 ? "MZ"[at < 2 ? at : 2] : LoopbackReply::PatternByte(at);
            if (at == 0x3C)
                out[i] = 0x40;
            else if (at >= 0x40 && at < 0x46)
                out[i] = "PE\0\0\x4C\x01"[at - 0x40];
        }
    };
    server.SetReply("/Quovanta.exe", reply);
    const std::string url = server.Url("/Quovanta.exe");

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const Text dir = Text(temp) + "bench_updater_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    const Text target = dir + "\\Quovanta.exe";

    updater::InitUpdaterGlobals();
    updater::ProgramDir = dir;
    Form form = LoadForm(updater::UpdaterWindowLayout());
    updater::UpdaterWindow = form;

    const int rounds = 5;
    std::vector<double> bare, shown;
    for (int i = 0; i < rounds; ++i) {
        double t0 = Now();
        if (!BareDownload(url, dir + "\\bare.bin"))
            return 2;
        double t1 = Now();
        if (updater::DownloadFileWithProgress(url, target, updater::DownloadProgressProc) != 0)
            return 3;
        double t2 = Now();
        bare.push_back(t1 - t0);
        shown.push_back(t2 - t1);
        form.Control("高级选择夹1").SetSelection(0);
    }

    const int updates = 512;
    double t0 = Now();
    for (int i = 1; i <= updates; ++i)
        updater::ShowDownloadProgress(static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(size / updates * i), 1000);
    const double perUpdate = (Now() - t0) / updates;
    const double chunks = static_cast<double>(size) / updater::kReadSize;
    const double perChunk = Median(bare) / chunks;

    std::printf("download of %llu bytes, %d rounds (medians)\n", static_cast<unsigned long long>(size), rounds);
    std::printf("bare WinINet loop into a file:        %10.0f us\n", Median(bare));
    std::printf("updater with progress after each chunk:%10.0f us   ratio %.2f\n", Median(shown), Median(shown) / Median(bare));
    std::printf("one progress update:                   %10.1f us   ratio to one chunk's transfer %.2f\n", perUpdate,
                perUpdate / perChunk);

    form.Destroy();
    updater::UpdaterWindow = Form();
    updater::FreeUpdaterGlobals();
    DeleteFileA(target.c_str());
    DeleteFileA((dir + "\\bare.bin").c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
