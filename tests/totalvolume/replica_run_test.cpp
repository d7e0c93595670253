// A whole run over the replica's sample catalogue, and the replica's pages of the games with unusual
// amounts read back with the client's own page cutting.
#include "client/total_volume_window.h"
#include "client/deal_query.h"
#include "helpers/http_client.h"
#include "replica/deal_pages.h"
#include "replica/total_volume_pages.h"
#include "support/pump.h"
#include "support/replica_loopback.h"
#include "support/seam_recorders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace {

using ::testing::HasSubstr;

const ReplicaGame* GameNamed(const ReplicaCatalogue& catalogue, const std::string& name)
{
    for (const ReplicaGame& g : catalogue.Games())
        if (g.name == name) return &g;
    return nullptr;
}

TEST(TotalReplicaPages, ZeroAndUnreadableAmountsAreServedForEveryOrderKey)
{
    const auto catalogue = SampleCatalogue();
    for (const char* sort : {"-1", "LastRefresh_DESC"}) {
        SCOPED_TRACE(sort);
        auto page = [&](const std::string& name, int pg) {
            const std::string target = "/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=" +
                                       GameNamed(*catalogue, name)->id + "&raceid=-1&ga=-1&gs=-1&bt=-1&sort=" + sort +
                                       "&section=-1_-1&pg=" + std::to_string(pg) + "&ps=80";
            return AllReplicaRoutes().Serve(ParseReplicaRequest("GET", target)).body;
        };
        EXPECT_EQ(DealPageCount(page("炉石传说", 1)), 1);
        EXPECT_EQ(PageAmounts(page("炉石传说", 1)), TextArray(5, "0"));
        EXPECT_EQ(SumAmounts(PageAmounts(page("炉石传说", 1))), "0");
        EXPECT_EQ(PageAmounts(page("LaTale", 1)), (TextArray{"1234.5", "面议", "20", "0.5"}));
        EXPECT_EQ(DealCountOfPage(page("LaTale", 1)), "4");
        EXPECT_TRUE(PageAmounts(page("LaTale", 2)).empty());
        // The other games keep the pages of the deal list.
        EXPECT_EQ(DealPageCount(page("梦幻西游", 1)), 3);
        EXPECT_EQ(SplitDealRecords(page("梦幻西游", 3)).size(), 23u);
    }
    EXPECT_FALSE(TotalVolumeSamplePage(*catalogue, ParseReplicaRequest("GET", "/list/viewlastestdeallist.aspx?gm=x")));
}

TEST(TotalReplicaRun, TheSampleCatalogueIsTotalledToTheEnd)
{
    ReplicaLoopback replica;
    ASSERT_TRUE(replica.Start());
    seams_test::WaitRecorder waits;
    TotalRunIdle = false;
    Form f = LoadTotalVolumeWindow();
    Control list = f.Control("超级列表框_5173游戏列表");
    const auto catalogue = SampleCatalogue();
    const std::size_t games = catalogue->Games().size();
    ASSERT_TRUE(PumpUntil([&] { return f.Control("超级按钮_获取51数据").Enabled(); }, 10000));
    ASSERT_EQ(static_cast<std::size_t>(list.RowCount()), games);
    f.Raise("超级按钮_获取51数据", Event::Click);
    ASSERT_TRUE(PumpUntil([&] { return f.Control("标签1").GetText() == "完成"; }, 60000));

    std::map<Text, TextArray> byName;
    for (const TextArray& row : list.AllRows()) byName[row[1]] = row;
    ASSERT_EQ(byName.size(), games);
    for (const auto& [name, row] : byName) EXPECT_EQ(row[5], "完成") << name;
    EXPECT_EQ(byName["问道"][4], "1234");
    EXPECT_EQ(byName["梦幻西游"][4], "183");
    EXPECT_EQ(byName["炉石传说"][3], "暂无交易");
    EXPECT_EQ(byName["炉石传说"][4], "");
    EXPECT_EQ(byName["LaTale"][3], "1255");
    EXPECT_EQ(byName["LaTale"][4], "4");

    // 问道's total is the sum of the amounts on its one page.
    const Text wd = FetchUrlText(TotalFirstPageAddress(byName["问道"][2]));
    EXPECT_EQ(byName["问道"][3], SumAmounts(PageAmounts(wd)));
    // 梦幻西游: four requests, the last three with the order key -1.
    int mh = 0;
    for (const auto& r : replica.Server().Requests())
        if (r.target.find("gm=" + byName["梦幻西游"][2] + "&") != std::string::npos) {
            ++mh;
            if (mh > 1) EXPECT_THAT(r.target, HasSubstr("&sort=-1&"));
        }
    EXPECT_EQ(mh, 4);
    f.Destroy();
    EXPECT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000));
}

}  // namespace
