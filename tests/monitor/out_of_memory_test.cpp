// The workers of page 2 that run out of memory: a pick-list load, the offer query and a poll of the
// monitor each end, and the page works as after their normal end.
#include "monitor_fixture.h"

namespace monitor_test {
namespace {

TEST_F(MonitorPageTest, APickListLoadOutOfMemoryEndsWithItsCompletionText)
{
    const ReplicaGame& game = SampleGame();
    struct Case {
        const char* list;
        std::string item;
        const char* status;  // what the status label says once the load has ended
    } cases[] = {
        {kGames, game.name, "商品类型 列表载入完成！"},
        {kTypes, game.goodsTypes[0].name, "运营商 列表载入完成！"},
        {kAreas, game.areas[0].name, "服务器 列表载入完成！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        {
            // The next request, whichever it is, fails: the one this pick makes.
            seams_test::RequestFailure failure("", 1);
            PickNamed(c.list, c.item);
            EXPECT_EQ(failure.Failures(), 1);
        }
        EXPECT_EQ(Caption("状态"), c.status);
        EXPECT_EQ(C("状态条1").PartText(1), c.status);
        // The same pick again loads as ever, and so prepares the next case.
        PickNamed(c.list, c.item);
    }
    ASSERT_EQ(Items(kServers).size(), game.areas[0].servers.size());
}

TEST_F(MonitorPageTest, AnOfferQueryOutOfMemoryShowsWhatItReadAndTheNextOneRuns)
{
    ChooseSampleServer();
    {
        seams_test::RequestFailure failure("-0-0-0-2.shtml", 1);
        RunUnsoldQuery();
        EXPECT_EQ(failure.Failures(), 1);
    }
    // Page 1 (three offers) with its statistics, as after a last page.
    EXPECT_EQ(Column(0), (TextArray{"3", "2", "1"}));
    EXPECT_EQ(Caption("标签_最低单价1"), "0.8500");
    EXPECT_EQ(Caption("标签_交易总金额1"), "1755 元");
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    EXPECT_EQ(C("状态条1").PartText(1), "查询完毕！");

    RunUnsoldQuery();
    EXPECT_EQ(Column(0), (TextArray{"5", "4", "3", "2", "1"}));
}

TEST_F(MonitorPageTest, APollOutOfMemoryLeavesTheMonitorPollingAtTheNextTick)
{
    ChooseSampleServer();
    Click("超级按钮_监控");
    ASSERT_EQ(Caption("超级按钮_监控"), "停止监控");
    auto tick = [&] {
        form.Raise("监控刷新时间", Event::Tick);
        return PumpUntil([] { return !MonitorPollRunning(); }, 10000);
    };
    {
        seams_test::RequestFailure failure("/list/", 1);
        ASSERT_TRUE(tick());
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_EQ(Caption("超级按钮_监控"), "停止监控");
    EXPECT_EQ(C("状态条1").PartText(1), "正在监控信息！");

    // The next tick polls, and its page alerts.
    SetBounds("2", "0", "10000", "0");
    replica_.Server().ClearRequests();
    ASSERT_TRUE(tick());
    PumpFor(20);
    EXPECT_EQ(ListingRequests(), 2u);  // the poll's page, then the full check's
    EXPECT_EQ(Boxes("注意").size(), 1u);
    EXPECT_EQ(Caption("超级按钮_监控"), "开始监控");
}

}  // namespace
}  // namespace monitor_test
