// Every service page the replica serves: one line per group of pages.
#include "replica/deal_pages.h"
#include "replica/listing_pages.h"
#include "replica/maker_pages.h"
#include "replica/market_pages.h"
#include "replica/new_game_pages.h"
#include "replica/pick_list_pages.h"
#include "replica/replica_routes.h"
#include "replica/sample_data.h"
#include "replica/total_volume_pages.h"

ReplicaRoutes AllReplicaRoutes()
{
    ReplicaRoutes routes;
    const auto catalogue = SampleCatalogue();
    AddPickListRoutes(routes, catalogue);
    AddTotalVolumeRoutes(routes, catalogue);  // before the deal list: it takes over two of its games
    AddDealListRoutes(routes, catalogue);
    AddListingRoutes(routes, catalogue);
    AddMakerRoutes(routes);
    AddRankingAndMarketRoutes(routes);
    AddNewGameRoutes(routes, catalogue);
    return routes;
}
