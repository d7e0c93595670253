#pragma once
// The replica's pages of the maker's web server that the main program shows in its browsers or hands
// to the system browser: the 33 market-quote pages, the guest book, the front page and the page of
// the program's releases. Small GBK pages of sample quotes and messages.
//
//   /NetWork/cxweb/hangqing/PAGE.html               the market quotes of one game (dnf.html, rift.html, ...)
//   /koushui/index.asp                              the guest book
//   /                                               the maker's front page
//   /index.php/archives/category/qelsoft            the releases of the program
#include "replica/replica_routes.h"

#include <string>
#include <utility>
#include <vector>

namespace replica {

// The page paths below /NetWork/cxweb/hangqing with the game each shows, in the order of the market
// window's buttons.
const std::vector<std::pair<std::string, std::string>>& MarketPages();

}  // namespace replica

void AddMarketRoutes(ReplicaRoutes& routes);
// The pages of the main window's pages 3 and 4: the ranking pages (replica/ranking_pages.h) and these.
void AddRankingAndMarketRoutes(ReplicaRoutes& routes);
