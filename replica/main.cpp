// The local replica of the outside services: serves the trading platform's pages from sample data on
// 127.0.0.1 and logs each request.
//
//     quovanta_replica [port] [--release FILE]
//
// Without a port it takes the first free one from 18173 on. FILE is served as the new main program
// of the maker's server (replica/maker_pages.h). Its first line on standard output is
// "replica: listening on 127.0.0.1:PORT"; then one line per request. It runs until it is ended
// (Ctrl+C, or the end of its process).
#include "replica/maker_pages.h"
#include "replica/replica_routes.h"
#include "replica/replica_server.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

ReplicaServer* g_server = nullptr;
std::mutex g_outputLock;

void Print(const std::string& line)
{
    std::lock_guard<std::mutex> lock(g_outputLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

BOOL WINAPI OnConsoleEvent(DWORD)
{
    if (g_server) g_server->Stop();
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned long port = 0;
    bool usage = false;
    for (int i = 1; i < argc && !usage; ++i) {
        std::string arg = argv[i];
        if (arg == "--release" && i + 1 < argc) {
            SetReplicaReleaseFile(argv[++i]);
        } else if (port == 0 && !arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos) {
            port = std::strtoul(arg.c_str(), nullptr, 10);
            usage = port == 0 || port > 65535;
        } else {
            usage = true;
        }
    }
    if (usage) {
        std::fprintf(stderr, "usage: quovanta_replica [port 1-65535] [--release FILE]\n");
        return 2;
    }
    ReplicaRoutes routes = AllReplicaRoutes();
    ReplicaServer server(routes, Print);
    if (!server.Bind(static_cast<unsigned short>(port))) {
        std::fprintf(stderr, "replica: cannot listen on 127.0.0.1:%lu\n", port);
        return 1;
    }
    g_server = &server;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    Print("replica: listening on 127.0.0.1:" + std::to_string(server.Port()));
    server.Run();
    g_server = nullptr;
    Print("replica: stopped");
    return 0;
}
