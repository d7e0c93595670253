#pragma once
// The replica's search and listing pages of the trading platform (the listing host): the search page
// of a game with its goods types, the page of a goods type with its areas or its operators, the page
// of an operator with its areas, the page of an area with its servers, and the listing of a server
// with its offers, page by page. Links are built from the Host header of the request, so they point
// back at whatever address the replica is reached under.
//
// Addresses (every choice carries the whole chain, "0" for a level not chosen):
//   /search/<game id>.shtml                                  the goods types of a game
//   /<game>-<type>-<operator>-<area>-<server>-0-0-0-0-0-0-0-0.shtml
//                                                            the page of the deepest choice made
//   /list/<game>-<type>-<operator>-<area>-<server>-0-0-0-0-0-0-0-0.shtml
//                                                            the listing of a server (its first page)
//   /list/<game>-<type>-<operator>-<area>-<server>-0-0-0-<n>.shtml
//                                                            result page n of that listing
//   /detail/<JS|DB><number>.shtml                            one offer
//
// The sample: every game lists its goods types, except LaTale, whose search page has none. The
// goods type 帐号 (the third of a game) offers a choice of three operators, each with areas and
// servers of its own; the others list the game's areas straight away. The first server of the first
// area of 问道 / 游戏币 has 2 pages of 3 and 2 offers (one price with thousands separators, consigned
// and guaranteed offers, unit prices from 0.85 to 1.18 元/万金); every other server 0 to 65 offers,
// 40 a page.
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace replica {

// One offer as a listing page shows it.
struct SampleOffer {
    bool consigned = false;  // 寄 (a "detail/JS" link) or 保 ("detail/DB")
    std::string name;        // 商品名称
    std::string price;       // 价格, "1,234.00"
    std::string unitPrice;   // the number of the unit price, "0.8500"; the page adds "元/万金"
    int number = 0;          // the offer's number in its link
};

// A listing page: the offer table with its "平均发货时间" title, the offers, the pagination and the
// pager that announces `pageCount` pages. `host` is put into the offers' links.
std::string ListingPageHtml(const std::string& host, const std::vector<SampleOffer>& offers, int pageCount);

// The link of the page of a chain of choices ("0" for a level not chosen).
std::string ChoiceLink(const std::string& host, const std::string& game, const std::string& type,
                       const std::string& op, const std::string& area, const std::string& server);

// The offers of the server at the end of a chain, all pages together, in page order.
std::vector<SampleOffer> ServerOffers(const ReplicaCatalogue& catalogue, const std::string& game,
                                      const std::string& type, const std::string& op, const std::string& area,
                                      const std::string& server);

// Offers per result page.
inline constexpr int kListingPageSize = 40;

}  // namespace replica

// The routes of the listing host's pages over the catalogue.
void AddListingRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue);
