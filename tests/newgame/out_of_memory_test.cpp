// The workers of NewGameWindow that run out of memory: the platform's game list, a page load and the
// volume run each end, and the window's buttons and status are those of their normal end.
#include "new_game_fixture.h"

namespace newgame_test {
namespace {

constexpr char kListButton[] = "超级按钮_获取17173列表";
constexpr char kVolume[] = "超级按钮_获取51数据";

TEST_F(NewGameTest, EveryLoadAndTheRunOutOfMemoryGiveTheButtonsBack)
{
    ServePlatform({{"一页游戏", "a"}});
    ServeListPage(1, {Game("一页游戏")});
    ServeDeals("a", {{{"10", "20.5"}}});

    {
        seams_test::RequestFailure failure("/ajax.axd", 1);
        Open();
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_EQ(Caption(kListButton), "获取17173新游测试表");
    EXPECT_EQ(Buttons(), "101000");
    form.Destroy();

    Open();
    {
        seams_test::RequestFailure failure("/testing-list.html", 1);
        LoadWith(kListButton);
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_EQ(Part(0), "游戏列表载入完毕！");
    EXPECT_EQ(Buttons(), "101100");
    LoadWith(kListButton);
    ASSERT_EQ(CellOf("一页游戏", kNewGamePlatformId), "a");

    {
        seams_test::RequestFailure failure("/list/", 1);
        Click(kVolume);
        ASSERT_TRUE(WaitRunEnded());
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_EQ(Buttons(), "101100");
    EXPECT_EQ(Part(0), "游戏成交量获取完毕！");
    EXPECT_EQ(Part(1), "完毕");

    Click(kVolume);
    ASSERT_TRUE(WaitRunEnded());
    EXPECT_EQ(CellOf("一页游戏", kNewGameVolume), "30.5");
}

}  // namespace
}  // namespace newgame_test
