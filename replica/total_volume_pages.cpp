#include "replica/total_volume_pages.h"

#include "replica/deal_pages.h"

#include <cstdlib>
#include <vector>

namespace {

struct AmountShape {
    const char* game;
    std::vector<const char*> prices;  // 价格 cells of the deals, without 元
};

const AmountShape kShapes[] = {
    {"炉石传说", {"0", "0", "0", "0", "0"}},
    {"LaTale", {"1,234.5", "面议", "20", "0.5"}},
};

}  // namespace

std::optional<std::string> TotalVolumeSamplePage(const ReplicaCatalogue& catalogue, const ReplicaRequest& request)
{
    const ReplicaGame* game = catalogue.FindGame(request.Param("gm"));
    if (!game) return std::nullopt;
    for (const AmountShape& shape : kShapes) {
        if (game->name != shape.game) continue;
        const int page = std::atoi(request.Param("pg").c_str());
        std::vector<replica::SampleDeal> deals;
        if (page <= 1) {
            for (std::size_t i = 0; i < shape.prices.size(); ++i) {
                const std::string type = game->goodsTypes.empty() ? std::string("游戏币") : game->goodsTypes[0].name;
                replica::SampleDeal d = replica::MakeSampleDeal(static_cast<int>(i), game->name, type);
                d.price = shape.prices[i];
                deals.push_back(std::move(d));
            }
        }
        return replica::DealListPageHtml(deals, 1, page < 1 ? 1 : page, std::to_string(shape.prices.size()));
    }
    return std::nullopt;
}

void AddTotalVolumeRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue)
{
    routes.Add("/list/viewlastestdeallist.aspx", [catalogue](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        std::optional<std::string> body = TotalVolumeSamplePage(*catalogue, r);
        if (!body) return std::nullopt;
        ReplicaPage page;
        page.body = std::move(*body);
        return page;
    });
}
