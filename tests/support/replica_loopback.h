#pragma once
// The replica's pages (every service it stands in for) served on the loopback interface, with every
// host variable of the program pointed at them for as long as the object lives, so that a test that
// starts a real window never reaches an outside host.
#include "replica/replica_routes.h"
#include "support/loopback_http_server.h"

#include <functional>
#include <optional>

class ReplicaLoopback {
public:
    // A reply of the test's own for some requests; nullopt leaves the request to the replica.
    using Override = std::function<std::optional<LoopbackReply>(const LoopbackRequest&)>;

    explicit ReplicaLoopback(Override override = {});
    ~ReplicaLoopback();  // stops the server and clears the host variables
    ReplicaLoopback(const ReplicaLoopback&) = delete;
    ReplicaLoopback& operator=(const ReplicaLoopback&) = delete;

    // Starts the server and sets QUOVANTA_*_HOST (and the connectivity address) to it.
    bool Start();
    LoopbackHttpServer& Server() { return server_; }

private:
    LoopbackReply Answer(const LoopbackRequest& r);

    ReplicaRoutes routes_;
    Override override_;
    LoopbackHttpServer server_;
};
