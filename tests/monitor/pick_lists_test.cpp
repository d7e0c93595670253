// The pick lists of page 2 below the game, against the replica's search and listing pages.
#include "monitor_fixture.h"

#include <gmock/gmock.h>

namespace monitor_test {
namespace {

using ::testing::HasSubstr;

std::vector<std::string> Names(const std::vector<ReplicaGoodsType>& types)
{
    std::vector<std::string> out;
    for (const auto& t : types) out.push_back(t.name);
    return out;
}

TEST_F(MonitorPageTest, TheChainWithoutOperatorsReadsTheAreasFromTheGoodsTypePage)
{
    const ReplicaGame& game = SampleGame();
    PickNamed(kGames, game.name);
    EXPECT_EQ(Items(kTypes), Names(game.goodsTypes));
    EXPECT_EQ(Items(kTypeLinks).size(), game.goodsTypes.size());
    EXPECT_EQ(Caption("状态"), "商品类型 列表载入完成！");
    EXPECT_EQ(C("游戏列表_游戏名_编号1").Selection(), C(kGames).Selection());

    replica_.Server().ClearRequests();
    PickNamed(kTypes, game.goodsTypes[0].name);
    // One request: the goods type's page holds the areas itself.
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(C(kTypeLinks).Selection(), C(kTypes).Selection());
    EXPECT_EQ(OperatorChoiceFlag.load(), 0);
    EXPECT_TRUE(Items(kOperators).empty());
    ASSERT_EQ(Items(kAreas).size(), game.areas.size());
    EXPECT_EQ(Items(kAreas)[0], game.areas[0].name);
    EXPECT_EQ(Caption("状态"), "游戏分区 列表载入完成！");
    EXPECT_THAT(GoodsTypePageText.Get(), HasSubstr("游戏区选择："));

    PickNamed(kAreas, game.areas[0].name);
    ASSERT_EQ(Items(kServers).size(), game.areas[0].servers.size());
    EXPECT_EQ(Items(kServers)[0], game.areas[0].servers[0].name);
    EXPECT_EQ(Items(kServerLinks).size(), Items(kServers).size());
    EXPECT_EQ(Caption("状态"), "服务器 列表载入完成！");
    EXPECT_EQ(C("状态条1").PartText(1), "服务器 列表载入完成！");

    Pick(kServers, 1);
    EXPECT_EQ(C(kServerLinks).Selection(), 1);
}

TEST_F(MonitorPageTest, AGoodsTypeWithOperatorsTakesTheAreasFromTheOperatorsPage)
{
    const ReplicaGame& game = SampleGame();
    PickNamed(kGames, game.name);
    PickNamed(kTypes, game.goodsTypes[2].name);  // 帐号: a choice of operator
    EXPECT_EQ(OperatorChoiceFlag.load(), 1);
    EXPECT_EQ(Items(kOperators), (TextArray{"37玩", "4399", "趣游"}));
    EXPECT_EQ(Items(kOperatorLinks).size(), 3u);
    EXPECT_TRUE(Items(kAreas).empty());
    EXPECT_EQ(Caption("状态"), "运营商 列表载入完成！");

    replica_.Server().ClearRequests();
    PickNamed(kOperators, "4399");
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_THAT(Requests()[0].target, HasSubstr("-op2-"));
    EXPECT_EQ(Items(kAreas), (TextArray{"双线1区", "双线2区", "双线3区"}));
    EXPECT_EQ(Caption("状态"), "游戏分区 列表载入完成！");
    PickNamed(kAreas, "双线2区");
    EXPECT_EQ(Items(kServers), (TextArray{"一服", "二服", "三服", "四服"}));

    // A new game leaves the operators of the previous goods type; a goods type empties them.
    PickNamed(kGames, game.name);
    EXPECT_EQ(Items(kOperators).size(), 3u);
    EXPECT_TRUE(Items(kAreas).empty());
    EXPECT_TRUE(Items(kServers).empty());
    PickNamed(kTypes, game.goodsTypes[0].name);
    EXPECT_TRUE(Items(kOperators).empty());
    EXPECT_EQ(OperatorChoiceFlag.load(), 0);
}

TEST_F(MonitorPageTest, AGameWithoutGoodsSaysSoAtTheGoodsTypeLevelOnly)
{
    PickNamed(kGames, "LaTale");
    const auto told = Boxes("信息：");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, "很抱歉！当前游戏分类下没找到相关商品。");
    EXPECT_EQ(told[0].style, 0u);
    EXPECT_TRUE(Items(kTypes).empty());
    EXPECT_EQ(Caption("状态"), "商品类型 列表载入中...");

    // An empty area page leaves the server list empty without a word.
    const ReplicaGame& game = SampleGame();
    PickNamed(kGames, game.name);
    PickNamed(kTypes, game.goodsTypes[0].name);
    SetOverride([](const LoopbackRequest&) { return std::optional<LoopbackReply>(LoopbackReply::Ok("")); });
    PickNamed(kAreas, game.areas[0].name);
    EXPECT_TRUE(Items(kServers).empty());
    EXPECT_EQ(Caption("状态"), "服务器 列表载入完成！");
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(MonitorPageTest, EachPickEmptiesTheListsBelowItAndTheOfferList)
{
    ChooseSampleServer();
    const ReplicaGame& game = SampleGame();
    struct Case {
        const char* list;
        std::string item;
        std::vector<const char*> emptied;
    } cases[] = {
        {kAreas, game.areas[0].name, {kServers, kServerLinks}},
        {kTypes, game.goodsTypes[0].name, {kAreas, kAreaLinks, kServers, kServerLinks, kOperators}},
        {kGames, game.name, {kTypes, kTypeLinks, kAreas, kAreaLinks, kServers, kServerLinks}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        ChooseSampleServer();
        RunUnsoldQuery();
        ASSERT_EQ(Rows().size(), 5u);
        // The next page is held back so that the lists can be seen right after the pick.
        SetOverride([](const LoopbackRequest&) {
            LoopbackReply r = LoopbackReply::Ok("");
            r.delayMs = 300;
            return std::optional<LoopbackReply>(r);
        });
        Pick(c.list, IndexOf(c.list, c.item));
        for (const char* emptied : c.emptied) EXPECT_TRUE(Items(emptied).empty()) << emptied;
        EXPECT_TRUE(Rows().empty());
        ASSERT_TRUE(WaitLoads());
        SetOverride({});
    }
    // A server pick only mirrors its selection.
    ChooseSampleServer();
    RunUnsoldQuery();
    Pick(kServers, 1);
    EXPECT_EQ(Rows().size(), 5u);
    EXPECT_EQ(C(kServerLinks).Selection(), 1);
}

TEST_F(MonitorPageTest, ALateGoodsTypePageOfAnEarlierPickWritesNothing)
{
    const ReplicaGame& game = SampleGame();
    PickNamed(kGames, game.name);
    // The page of 帐号 (operators) is slow; 游戏币 is picked meanwhile and its areas must stay.
    SetOverride([&](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find(game.goodsTypes[2].id + "-0-0-0") == std::string::npos) return std::nullopt;
        ReplicaPage page = AllReplicaRoutes().Serve(ParseReplicaRequest(r.method, r.target, r.Header("Host")));
        LoopbackReply reply = LoopbackReply::Ok(page.body);
        reply.delayMs = 600;
        return reply;
    });
    Pick(kTypes, 2);
    PumpFor(50);
    Pick(kTypes, 0);
    ASSERT_TRUE(WaitLoads());
    EXPECT_TRUE(Items(kOperators).empty());
    EXPECT_EQ(Items(kAreas).size(), game.areas.size());
    EXPECT_EQ(OperatorChoiceFlag.load(), 0);
}

}  // namespace
}  // namespace monitor_test
