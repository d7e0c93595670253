#include "support/replica_loopback.h"

#include <windows.h>

namespace {

const char* const kHostVariables[] = {"QUOVANTA_AJAX_HOST",    "QUOVANTA_TRADING_HOST", "QUOVANTA_DEALLIST_HOST",
                                      "QUOVANTA_LISTING_HOST", "QUOVANTA_RANKING_HOST", "QUOVANTA_NEWGAME_HOST",
                                      "QUOVANTA_GIFT_HOST",    "QUOVANTA_MAKER_HOST"};

}  // namespace

ReplicaLoopback::ReplicaLoopback(Override override)
    : routes_(AllReplicaRoutes()),
      override_(std::move(override)),
      server_([this](const LoopbackRequest& r) { return Answer(r); })
{
}

ReplicaLoopback::~ReplicaLoopback()
{
    server_.Stop();
    for (const char* name : kHostVariables) SetEnvironmentVariableA(name, nullptr);
    SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", nullptr);
}

bool ReplicaLoopback::Start()
{
    if (!server_.Start()) return false;
    const std::string host = server_.HostAndPort();
    for (const char* name : kHostVariables) SetEnvironmentVariableA(name, host.c_str());
    SetEnvironmentVariableA("QUOVANTA_CONNECTIVITY_URL", ("http://" + host + "/").c_str());
    return true;
}

LoopbackReply ReplicaLoopback::Answer(const LoopbackRequest& r)
{
    if (override_)
        if (std::optional<LoopbackReply> reply = override_(r)) return *reply;
    ReplicaPage page = routes_.Serve(ParseReplicaRequest(r.method, r.target, r.Header("Host")));
    LoopbackReply reply = LoopbackReply::Ok(page.body, page.contentType);
    reply.status = page.status;
    reply.reason = page.reason;
    return reply;
}
