// Every service page the replica serves: one line per group of pages.
#include "replica/deal_pages.h"
#include "replica/pick_list_pages.h"
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

ReplicaRoutes AllReplicaRoutes()
{
    ReplicaRoutes routes;
    AddPickListRoutes(routes, SampleCatalogue());
    routes.Add("/list/viewlastestdeallist.aspx", [](const ReplicaRequest& r) {
        ReplicaPage page;
        page.body = replica::DealListReply(r.target);
        return std::optional<ReplicaPage>(page);
    });
    return routes;
}
