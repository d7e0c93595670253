#pragma once
// The replica's latest-deal list pages ("/list/viewlastestdeallist.aspx"), written as the platform
// writes them: a page-count line, a table of deal records and a footer with the deal count.
//
// The pages of the catalogue's games are served by AddDealListRoutes (below); the builders are used by
// the tests as well.
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace replica {

// One deal as a record of the page shows it (GBK texts, exactly as they stand between the markers).
struct SampleDeal {
    std::string name;        // 商品名称
    std::string address;     // 交易地址
    std::string unitPrice;   // 单价 cell, "0.0215元" or without 元
    std::string gameServer;  // 游戏/区/服/阵营
    std::string goodsType;   // 商品类型
    std::string price;       // 价格 without 元, "1,280"
    std::string dealTime;    // the full time "2015-01-07 09:30:00"; the page client drops the "20"
};

// One page of the latest-deal list: announces `pageCount` pages, lists `deals` and ends with the footer
// "共 <footerCount> 单 第 <page>/<pageCount> 页".
std::string DealListPageHtml(const std::vector<SampleDeal>& deals, int pageCount, int page,
                             std::string_view footerCount);

// Deal number `index` (0 and up) of a made-up sample: its texts depend on the index alone.
SampleDeal MakeSampleDeal(int index, std::string_view gameName, std::string_view goodsType);

}  // namespace replica

// The deal-list pages of the catalogue's games: 问道 one page of 6 deals (one unit price without "元",
// the footer says 共 1234 单), 梦幻西游 three pages (80, 80 and 23 deals), 魔兽世界(国服) one full page
// of 80; every other game up to 119 deals (some none). Prices from 1,000 up carry thousands
// separators. The area, server and goods type of the request name the deals; "-1" spreads them over
// the game's own.
std::string DealListPage(const ReplicaCatalogue& catalogue, const ReplicaRequest& request);
void AddDealListRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue);
