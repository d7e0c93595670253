#pragma once
// The replica's HTTP server: HTTP/1.1 on 127.0.0.1, one request per connection, each connection on
// a thread of its own, every request answered from the route table and written to the log.
#include "replica/replica_routes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class ReplicaServer {
public:
    using Log = std::function<void(const std::string& line)>;
    ReplicaServer(const ReplicaRoutes& routes, Log log);
    ~ReplicaServer();
    ReplicaServer(const ReplicaServer&) = delete;
    ReplicaServer& operator=(const ReplicaServer&) = delete;

    // Binds 127.0.0.1 on `port`, or with 0 on the first free port from kFirstPort on (the system's
    // choice when none of them is free). False when the socket cannot be set up.
    bool Bind(unsigned short port);
    unsigned short Port() const { return port_; }
    // Accepts and serves connections until Stop. 
    void Run();
    // Ends Run (from any thread); connections being served finish on their own.
    void Stop();

    static constexpr unsigned short kFirstPort = 18173;
    static constexpr int kPortsTried = 100;

private:
    void Serve(std::uintptr_t socket);

    const ReplicaRoutes& routes_;
    Log log_;
    std::uintptr_t listener_;
    unsigned short port_ = 0;
    bool winsock_ = false;
    std::atomic<bool> stopping_{false};
};
