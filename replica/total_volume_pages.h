#pragma once
// Deal-list pages of two sample games with the amounts a total over all of a game's deals has to cope
// with: 炉石传说, whose deals all went for "0", and LaTale, one of whose deals shows an amount without a
// number ("面议") beside one with a separator and a fraction ("1,234.5"). They are served for every order
// key (the total-volume run asks with "sort=-1") and every area, server and goods type; the other games
// keep the pages of AddDealListRoutes, which must come after these routes.
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

#include <memory>
#include <optional>
#include <string>

// The page of the request when it asks for one of these games; nullopt for any other game.
std::optional<std::string> TotalVolumeSamplePage(const ReplicaCatalogue& catalogue, const ReplicaRequest& request);
void AddTotalVolumeRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue);
