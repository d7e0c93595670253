// The volume run of NewGameWindow: requests and waits per game, the texts of each row, the status,
// a sort during the run, pause, resume, stop, a new run after a stop, and a window closed meanwhile.
#include "new_game_fixture.h"

#include <gmock/gmock.h>

namespace newgame_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kVolume[] = "超级按钮_获取51数据";
constexpr char kPause[] = "超级按钮_暂停继续";
constexpr char kStop[] = "超级按钮_停止";
constexpr char kComputing[] = "数据计算中...";
constexpr char kNoTrade[] = "暂无交易";

class NewGameRunTest : public NewGameTest {
protected:
    // Page 1 of the list with these games loaded and matched against these platform games.
    void Prepare(const std::vector<std::pair<std::string, std::string>>& platform, const std::vector<std::string>& games)
    {
        ServePlatform(platform);
        std::vector<NewGameEntry> entries;
        for (const std::string& g : games) entries.push_back(Game(g));
        ServeListPage(1, entries);
        Open();
        LoadWith("超级按钮_获取17173列表");
        server.ClearRequests();
    }

    std::vector<int> Waits() const
    {
        std::vector<int> w;
        for (const auto& c : waits.Calls()) w.push_back(c.milliseconds);
        return w;
    }
};

TEST_F(NewGameRunTest, EachGameIsTotalledFromItsPagesAndRowsWithoutIdAskNothing)
{
    Prepare({{"一页游戏", "a"}, {"三页游戏", "b"}, {"零元游戏", "z"}, {"无成交游戏", "w"}},
            {"新游", "一页游戏", "三页游戏", "零元游戏", "无成交游戏"});
    ServeDeals("a", {{{"10", "20.5"}}, {}, 1000});
    ServeDeals("b", {{{"1,234.5"}, {"100"}, {"0.5"}}, "F"});
    ServeDeals("z", {{{"0", "0"}}});
    const std::size_t waitsBefore = waits.Calls().size();

    Click(kVolume);
    EXPECT_EQ(Buttons(), "000011");
    ASSERT_TRUE(WaitForRequests(1));
    EXPECT_EQ(Part(0), "正在获取游戏成交量信息   请稍后......");
    EXPECT_EQ(Part(1), "运行中");
    EXPECT_EQ(CellOf("新游", kNewGameVolume), kNoTrade);
    EXPECT_EQ(CellOf("一页游戏", kNewGameVolume), kComputing);
    ASSERT_TRUE(WaitRunEnded());

    EXPECT_EQ(CellOf("新游", kNewGameVolume), kNoTrade);
    EXPECT_EQ(CellOf("新游", kNewGameDealCount), "");
    EXPECT_EQ(CellOf("一页游戏", kNewGameVolume), "30.5");
    EXPECT_EQ(CellOf("一页游戏", kNewGameDealCount), "2");
    // 1,234.5 counts as 1234.5; the deal count comes from the page read last.
    EXPECT_EQ(CellOf("三页游戏", kNewGameVolume), "1335");
    EXPECT_EQ(CellOf("三页游戏", kNewGameDealCount), "F-3");
    // A total of "0", and a game without deals: no trade, and no deal count.
    EXPECT_EQ(CellOf("零元游戏", kNewGameVolume), kNoTrade);
    EXPECT_EQ(CellOf("零元游戏", kNewGameDealCount), "");
    EXPECT_EQ(CellOf("无成交游戏", kNewGameVolume), kNoTrade);

    // One page costs one request, three pages four (page 1 twice), none one; nothing for 新游.
    const std::vector<std::string> t = DealTargets();
    ASSERT_EQ(t.size(), 7u);
    EXPECT_THAT(t[0], HasSubstr("/list/ViewLastestDealList.aspx?ts=consignment&offerid=&gm=a&"));
    EXPECT_THAT(t[1], HasSubstr("ts=consignment&offerid=&gm=b&raceid=-1&ga=-1&gs=-1&bt=-1&sort=-1&"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_THAT(t[static_cast<std::size_t>(1 + n)],
                    HasSubstr("/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=b&raceid=-1&ga=-1&gs=-1&bt=-1&sort="
                              "LastRefresh_DESC&section=-1_-1&pg=" + std::to_string(n) + "&ps=80"));
    EXPECT_THAT(t[5], HasSubstr("gm=z&"));
    EXPECT_THAT(t[6], HasSubstr("gm=w&"));
    // 1000 ms after every page read, 2000 ms after every row (rows without id too).
    const std::vector<int> w = Waits();
    EXPECT_EQ(std::vector<int>(w.begin() + static_cast<long>(waitsBefore), w.end()),
              (std::vector<int>{2000, 1000, 2000, 1000, 1000, 1000, 2000, 1000, 2000, 2000}));

    EXPECT_EQ(Part(0), "游戏成交量获取完毕！");
    EXPECT_EQ(Part(1), "完毕");
    EXPECT_EQ(Buttons(), "101100");
    // The work list holds the amounts of the game totalled last (无成交游戏: none).
    EXPECT_EQ(form.Control("总价_17173").RowCount(), 0);
}

TEST_F(NewGameRunTest, AHostilePageCountEndsAfterThreePagesInARowWithoutDeals)
{
    Prepare({{"大游戏", "h"}}, {"大游戏"});
    DealPages pages{{{"5"}}, "F"};
    pages.announced = "2147483648";
    ServeDeals("h", pages);
    Click(kVolume);
    ASSERT_TRUE(WaitRunEnded());
    // The first request, page 1 with the deal, then pages 2 to 4 without: 5 requests.
    const std::vector<std::string> t = DealTargets();
    ASSERT_EQ(t.size(), 5u);
    EXPECT_THAT(t.back(), HasSubstr("&pg=4&ps=80"));
    EXPECT_EQ(CellOf("大游戏", kNewGameVolume), "5");
    EXPECT_EQ(CellOf("大游戏", kNewGameDealCount), "F-4");
}

TEST_F(NewGameRunTest, ASortDuringTheRunLeavesEachTotalInItsOwnRow)
{
    Prepare({{"甲游", "a"}, {"乙游", "b"}, {"丙游", "c"}}, {"甲游", "乙游", "丙游"});
    ServeDeals("a", {{{"10"}}, {}, 1000});
    ServeDeals("b", {{{"20", "2"}}});
    ServeDeals("c", {{{"30", "3", "0.3"}}});
    Click(kVolume);
    ASSERT_TRUE(WaitForRequests(1));
    ColumnClick(kNewGameNumber);  // descending: 丙游 on top while 甲游 is being totalled
    EXPECT_THAT(List().ColumnCells(kNewGameName), ElementsAre("丙游", "乙游", "甲游"));
    ASSERT_TRUE(WaitRunEnded());
    EXPECT_EQ(CellOf("甲游", kNewGameVolume), "10");
    EXPECT_EQ(CellOf("甲游", kNewGameDealCount), "1");
    EXPECT_EQ(CellOf("乙游", kNewGameVolume), "22");
    EXPECT_EQ(CellOf("乙游", kNewGameDealCount), "2");
    EXPECT_EQ(CellOf("丙游", kNewGameVolume), "33.3");
    EXPECT_EQ(CellOf("丙游", kNewGameDealCount), "3");
}

TEST_F(NewGameRunTest, PauseHoldsTheRunUntilResumedAndAStopWhilePausedKeepsResume)
{
    Prepare({{"甲游", "a"}, {"乙游", "b"}}, {"甲游", "乙游"});
    ServeDeals("a", {{{"10"}}, {}, 800});
    ServeDeals("b", {{{"20"}}, {}, 800});

    Click(kVolume);
    ASSERT_TRUE(WaitForRequests(1));
    Click(kPause);
    EXPECT_EQ(Caption(kPause), "继续");
    EXPECT_EQ(Part(1), "暂停");
    PumpFor(1200);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(CellOf("甲游", kNewGameVolume), kComputing);
    Click(kPause);
    EXPECT_EQ(Caption(kPause), "暂停");
    EXPECT_EQ(Part(1), "运行中");
    ASSERT_TRUE(WaitRunEnded());
    EXPECT_EQ(CellOf("甲游", kNewGameVolume), "10");
    EXPECT_EQ(CellOf("乙游", kNewGameVolume), "20");
    EXPECT_EQ(Caption(kPause), "暂停");

    // Stopped while paused: the run ends where it stands and "继续" stays for the next run.
    server.ClearRequests();
    Click(kVolume);
    ASSERT_TRUE(WaitForRequests(1));
    Click(kPause);
    Click(kStop);
    EXPECT_EQ(Part(1), "停止");
    EXPECT_EQ(Part(0), "正在获取游戏成交量信息   请稍后......");
    EXPECT_EQ(Caption(kPause), "继续");
    EXPECT_EQ(Buttons(), "101100");
    PumpFor(1000);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(CellOf("甲游", kNewGameVolume), kComputing);
    EXPECT_EQ(CellOf("乙游", kNewGameVolume), "20");
    EXPECT_EQ(Part(1), "停止");

    // The next run starts with "继续": its first click resumes a running run and shows "运行中".
    Click(kVolume);
    EXPECT_EQ(Buttons(), "000011");
    Click(kPause);
    EXPECT_EQ(Part(1), "运行中");
    EXPECT_EQ(Caption(kPause), "暂停");
    ASSERT_TRUE(WaitRunEnded());
    EXPECT_EQ(CellOf("甲游", kNewGameVolume), "10");
    EXPECT_EQ(Part(1), "完毕");
}

TEST_F(NewGameRunTest, AStoppedRunWritesNothingMoreWhileANewOneRuns)
{
    Prepare({{"三页游戏", "b"}}, {"三页游戏"});
    ServeDeals("b", {{{"1"}, {"2"}, {"3"}}, "F", 800});
    Click(kVolume);
    ASSERT_TRUE(WaitForRequests(1));
    Click(kStop);
    EXPECT_EQ(Buttons(), "101100");
    // A new run starts at once, while the stopped one still waits for its reply.
    Click(kVolume);
    EXPECT_EQ(Buttons(), "000011");
    EXPECT_TRUE(NewGameWindowActivity(form).runActive);
    ASSERT_TRUE(WaitRunEnded());
    PumpFor(1200);
    // The stopped run asked no page after its first reply: 1 + 4 requests.
    EXPECT_EQ(DealTargets().size(), 5u);
    EXPECT_EQ(CellOf("三页游戏", kNewGameVolume), "6");
    EXPECT_EQ(CellOf("三页游戏", kNewGameDealCount), "F-3");
    EXPECT_EQ(Part(1), "完毕");
}

TEST_F(NewGameRunTest, ClosingTheWindowEndsTheRun)
{
    Prepare({{"甲游", "a"}, {"乙游", "b"}}, {"甲游", "乙游"});
    ServeDeals("a", {{{"10"}}, {}, 1000});
    ServeDeals("b", {{{"20"}}});
    Click(kVolume);
    ASSERT_TRUE(WaitForRequests(1));
    form.Destroy();
    PumpFor(1500);
    EXPECT_EQ(server.RequestCount(), 1u);
}

}  // namespace
}  // namespace newgame_test
