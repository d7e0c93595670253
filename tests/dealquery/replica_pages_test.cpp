// The replica's deal-list pages of the sample catalogue, read back with the client's own page cutting.
#include "client/deal_query.h"
#include "replica/deal_pages.h"

#include <gtest/gtest.h>

namespace {

const ReplicaGame* GameNamed(const ReplicaCatalogue& catalogue, const std::string& name)
{
    for (const ReplicaGame& g : catalogue.Games())
        if (g.name == name) return &g;
    return nullptr;
}

std::string Page(const ReplicaCatalogue& catalogue, const std::string& gameId, int page, const std::string& area = "-1")
{
    return DealListPage(catalogue, ParseReplicaRequest("GET", "/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=" +
                                                                   gameId + "&raceid=-1&ga=" + area +
                                                                   "&gs=-1&bt=-1&sort=LastRefresh_DESC"
                                                                   "&section=-1_-1&pg=" + std::to_string(page) + "&ps=80"));
}

TEST(ReplicaDealPages, SampleGamesHaveTheShapesTheQueryMeets)
{
    const auto catalogue = SampleCatalogue();
    struct Case {
        const char* game;
        int pages;
        std::vector<int> rows;  // per page
        const char* count;
    } cases[] = {
        {"问道", 1, {6}, "1234"},
        {"梦幻西游", 3, {80, 80, 23}, "183"},
        {"魔兽世界(国服)", 1, {80}, "80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.game);
        const ReplicaGame* g = GameNamed(*catalogue, c.game);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(DealPageCount(Page(*catalogue, g->id, 1)), c.pages);
        for (int p = 1; p <= c.pages; ++p) {
            const std::string page = Page(*catalogue, g->id, p);
            EXPECT_EQ(static_cast<int>(SplitDealRecords(page).size()), c.rows[p - 1]) << p;
            EXPECT_EQ(DealCountOfPage(page), c.count);
        }
    }
    // 问道: one unit price without its unit; 梦幻西游: prices with thousands separators.
    const TextArray wd = SplitDealRecords(Page(*catalogue, GameNamed(*catalogue, "问道")->id, 1));
    int withoutUnit = 0;
    for (const Text& r : wd) withoutUnit += UnitPriceNumberText(ParseDealRecord(r).unitPrice).empty();
    EXPECT_EQ(withoutUnit, 1);
    int separated = 0;
    for (const Text& r : SplitDealRecords(Page(*catalogue, GameNamed(*catalogue, "梦幻西游")->id, 1)))
        separated += ParseDealRecord(r).price.find(',') != std::string::npos;
    EXPECT_GT(separated, 0);
    // An unknown game has no deal.
    EXPECT_EQ(DealPageCount(Page(*catalogue, "没有这个游戏", 1)), 0);
    EXPECT_TRUE(SplitDealRecords(Page(*catalogue, "没有这个游戏", 1)).empty());
}

TEST(ReplicaDealPages, AChosenAreaNamesTheDeals)
{
    const auto catalogue = SampleCatalogue();
    const ReplicaGame* g = GameNamed(*catalogue, "问道");
    ASSERT_NE(g, nullptr);
    ASSERT_FALSE(g->areas.empty());
    const ReplicaArea& area = g->areas.back();
    for (const Text& r : SplitDealRecords(Page(*catalogue, g->id, 1, area.id)))
        EXPECT_EQ(ParseDealRecord(r).gameServer.rfind(g->name + "/" + area.name + "/", 0), 0u);
}

}  // namespace
