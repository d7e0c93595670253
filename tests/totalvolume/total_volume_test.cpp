// The total-volume window: the game-list load, the run with its requests, waits, totals and counts,
// pause, resume and stop at safe points, the sort and its refusal, closing during a run, and the
// opener on the main window.
#include "total_fixture.h"

#include "client/main_window.h"
#include "helpers/listview_sort.h"
#include "runtime/window_thread.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace totalvolume_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kList[] = "超级列表框_5173游戏列表";
constexpr char kStart[] = "超级按钮_获取51数据";
constexpr char kPause[] = "超级按钮_暂停继续";
constexpr char kStop[] = "超级按钮_停止";
constexpr char kSortLabel[] = "透明标签_排序";
constexpr char kRefusal[] = "需停止查询或所有游戏查询结束后，才能进行排序！";

// Rows of three games of one page each, every reply of them delayed: a run takes a while.
std::vector<Game> SlowGames(unsigned delayMs, int count = 3)
{
    std::vector<Game> g;
    for (int i = 1; i <= count; ++i)
        g.push_back({"s" + std::to_string(i), "慢游戏" + std::to_string(i), {{{"5", "6"}}, "", delayMs}});
    return g;
}

TEST(TotalPages, AddressesAmountsSumsAndProgressTexts)
{
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", "deals.test:81");
    EXPECT_EQ(TotalFirstPageAddress("g7"),
              "http://deals.test:81/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=g7&raceid=-1&ga=-1&gs=-1&bt=-1"
              "&sort=LastRefresh_DESC&section=-1_-1&pg=1&ps=80");
    EXPECT_EQ(TotalPageAddress("g7", 12),
              "http://deals.test:81/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=g7&raceid=-1&ga=-1&gs=-1&bt=-1"
              "&sort=-1&section=-1_-1&pg=12&ps=80");
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", nullptr);

    // Separators go before the amount is read; an amount without a number adds 0; no amount, no total.
    std::vector<replica::SampleDeal> deals;
    for (const char* price : {"1,234.5", "面议", "0.25", "1,000,000"}) {
        replica::SampleDeal d = replica::MakeSampleDeal(static_cast<int>(deals.size()), "问道", "游戏币");
        d.price = price;
        deals.push_back(d);
    }
    const TextArray amounts = PageAmounts(replica::DealListPageHtml(deals, 1, 1, "4"));
    EXPECT_THAT(amounts, ElementsAre("1234.5", "面议", "0.25", "1000000"));
    EXPECT_EQ(SumAmounts(amounts), "1001234.75");
    EXPECT_EQ(SumAmounts({}), "");
    EXPECT_EQ(SumAmounts({"0", "0"}), "0");
    EXPECT_TRUE(PageAmounts("<html>维护中</html>").empty());

    EXPECT_EQ(TotalProgressText(3, 120, "运行中..."), "查询进度：3/120     状态：运行中...");
}

TEST(TotalPages, GamesAreTakenFromTheCutBetweenTheCallbackAndTheWebGroup)
{
    const std::vector<TotalGame> games = ParseTotalGameList(
        "id:'0',name:'前面'callgame([{name:'A',list:[{id:'1',name:'甲',spell:'J'},{id:'2',name:'乙'}]},"
        "{name:'WEBG',list:[]}])id:'9',name:'后面'");
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].id, "1");
    EXPECT_EQ(games[0].name, "甲");
    EXPECT_EQ(games[1].id, "2");
    EXPECT_EQ(games[1].name, "乙");
    // Without the closing group there is no cut and so no game.
    EXPECT_TRUE(ParseTotalGameList("callgame([{name:'A',list:[{id:'1',name:'甲'}]}])").empty());
    EXPECT_TRUE(ParseTotalGameList("").empty());
}

TEST(TotalPages, SortKindsOfTheColumns)
{
    EXPECT_EQ(TotalColumnSortKind(0), ListViewSortNumber);
    EXPECT_EQ(TotalColumnSortKind(1), -1);
    EXPECT_EQ(TotalColumnSortKind(2), ListViewSortText);
    EXPECT_EQ(TotalColumnSortKind(3), ListViewSortNumber);
    EXPECT_EQ(TotalColumnSortKind(4), ListViewSortNumber);
    EXPECT_EQ(TotalColumnSortKind(5), -1);
}

TEST_F(TotalVolumeTest, ARunTotalsEveryGameWithItsRequestsWaitsAndTexts)
{
    ServeGames({
        {"a1", "问道", {{{"10", "20.5"}}, "1234"}},
        {"b2", "梦幻西游", {{{"1", "2"}, {"1", "2"}, {"1", "2"}}}},
        {"c3", "零元游戏", {{{"0", "0", "0"}}}},
        {"d4", "分隔游戏", {{{"1,234.5", "面议"}}}},
        {"e5", "冷清游戏", {}},
    });
    Form f = Open();
    // The list: sequence numbers, names and ids, nothing else yet; the start button is ready.
    std::vector<TextArray> rows = Rows(f);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_THAT(rows[0], ElementsAre("1", "问道", "a1", "", "", ""));
    EXPECT_THAT(rows[4], ElementsAre("5", "冷清游戏", "e5", "", "", ""));
    EXPECT_TRUE(Enabled(f, kStart));
    EXPECT_FALSE(Enabled(f, kPause));
    EXPECT_FALSE(Enabled(f, kStop));

    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForEnd(f));
    rows = Rows(f);
    EXPECT_THAT(rows[0], ElementsAre("1", "问道", "a1", "30.5", "1234", "完成"));
    EXPECT_THAT(rows[1], ElementsAre("2", "梦幻西游", "b2", "9", "6", "完成"));
    EXPECT_THAT(rows[2], ElementsAre("3", "零元游戏", "c3", "暂无交易", "", "完成"));
    EXPECT_THAT(rows[3], ElementsAre("4", "分隔游戏", "d4", "1234.5", "2", "完成"));
    EXPECT_THAT(rows[4], ElementsAre("5", "冷清游戏", "e5", "暂无交易", "", "完成"));

    // One page costs one request, three pages four (page 1 twice: first in the newest order, then
    // with the order key -1); no page, one.
    const std::vector<std::string> t = DealRequests();
    ASSERT_EQ(t.size(), 8u);
    EXPECT_THAT(t[0], HasSubstr("gm=a1&raceid=-1&ga=-1&gs=-1&bt=-1&sort=LastRefresh_DESC&section=-1_-1&pg=1&ps=80"));
    EXPECT_THAT(t[1], HasSubstr("gm=b2&raceid=-1&ga=-1&gs=-1&bt=-1&sort=LastRefresh_DESC&section=-1_-1&pg=1&ps=80"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_THAT(t[1 + n], HasSubstr("gm=b2&raceid=-1&ga=-1&gs=-1&bt=-1&sort=-1&section=-1_-1&pg=" +
                                        std::to_string(n) + "&ps=80"));
    EXPECT_THAT(t[5], HasSubstr("gm=c3&"));
    EXPECT_THAT(t[7], HasSubstr("gm=e5&"));

    // 1000 ms after every page, 2000 ms after every game.
    std::vector<int> w;
    for (const auto& c : waits.Calls()) w.push_back(c.milliseconds);
    EXPECT_THAT(w, ElementsAre(1000, 2000, 1000, 1000, 1000, 2000, 1000, 2000, 1000, 2000, 2000));

    // A finished run leaves 暂停 and 停止 enabled and the start button disabled.
    EXPECT_FALSE(Enabled(f, kStart));
    EXPECT_TRUE(Enabled(f, kPause));
    EXPECT_TRUE(Enabled(f, kStop));
    EXPECT_TRUE(TotalRunIdle.load());
    // The work list holds the amounts of the last game totalled: it had none.
    EXPECT_EQ(f.Control("总价_5173计算").RowCount(), 0);

    // After the end 暂停 and 停止 only change texts; the start button stays disabled.
    f.Raise(kPause, Event::Click);
    EXPECT_EQ(Caption(f, kPause), "继续");
    EXPECT_EQ(Label(f), "查询进度：5/5     状态：暂停...");
    f.Raise(kStop, Event::Click);
    EXPECT_EQ(Label(f), "查询进度：5/5     状态：停止...");
    EXPECT_FALSE(Enabled(f, kStart));
    EXPECT_FALSE(Enabled(f, kPause));
    EXPECT_FALSE(Enabled(f, kStop));
    EXPECT_EQ(DealRequests().size(), 8u);
    f.Raise(kList, Event::ColumnClick, {.column = 3});
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(TotalVolumeTest, AnEmptyGameListLeavesTheWindowReadyAndARunOverItEndsAtOnce)
{
    for (const char* reply : {"", "<html>502</html>", "callgame([{name:'A',list:[]},{name:'WEBG',list:[]}])"}) {
        SCOPED_TRACE(reply);
        LoopbackHttpServer plain;
        ASSERT_TRUE(plain.Start());
        plain.SetReply("/ajax.axd", LoopbackReply::Ok(reply));
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", plain.HostAndPort().c_str());
        Form f = Open();
        EXPECT_EQ(f.Control(kList).RowCount(), 0);
        EXPECT_TRUE(Enabled(f, kStart));
        f.Raise(kStart, Event::Click);
        ASSERT_TRUE(WaitForEnd(f));
        EXPECT_TRUE(DealRequests().empty());
        f.Destroy();
    }
}

TEST_F(TotalVolumeTest, SortingIsRefusedBeforeTheFirstRunOfTheProgram)
{
    ServeGames({{"2", "乙", {}}, {"1", "甲", {}}});
    Form f = Open();
    f.Raise(kList, Event::ColumnClick, {.column = 2});
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, kRefusal);
    EXPECT_EQ(calls[0].title, "信息：");
    EXPECT_EQ(calls[0].style, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(f.Control(kList).Cell(0, 2), "2");
    EXPECT_EQ(Caption(f, kSortLabel), "降");
}

TEST_F(TotalVolumeTest, AClickOnAnUnsortedColumnFlipsTheDirectionWithoutSorting)
{
    ServeGames({{"x", "乙", {{{"5"}}}}, {"y", "甲", {{{"50"}}}}, {"z", "丙", {{{"7"}}}}});
    Form f = Open();
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForEnd(f));
    Control list = f.Control(kList);
    f.Raise(kList, Event::ColumnClick, {.column = 1});  // 游戏名: no sort, "降" becomes "升"
    EXPECT_EQ(Caption(f, kSortLabel), "升");
    EXPECT_THAT(list.ColumnCells(1), ElementsAre("乙", "甲", "丙"));
    f.Raise(kList, Event::ColumnClick, {.column = 3});  // 总交易量, descending
    EXPECT_EQ(Caption(f, kSortLabel), "降");
    EXPECT_THAT(list.ColumnCells(3), ElementsAre("50", "7", "5"));
    f.Raise(kList, Event::ColumnClick, {.column = 0});  // 序号, ascending
    EXPECT_THAT(list.ColumnCells(0), ElementsAre("1", "2", "3"));
    EXPECT_THAT(list.ColumnCells(1), ElementsAre("乙", "甲", "丙"));
    EXPECT_TRUE(boxes.Calls().empty());

    // The permission outlives the window: a window opened now sorts at once.
    Form g = Open();
    g.Raise(kList, Event::ColumnClick, {.column = 2});
    EXPECT_THAT(g.Control(kList).ColumnCells(2), ElementsAre("x", "y", "z"));
    g.Raise(kList, Event::ColumnClick, {.column = 2});
    EXPECT_THAT(g.Control(kList).ColumnCells(2), ElementsAre("z", "y", "x"));
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(TotalVolumeTest, PauseStopsTheRequestsUntilResumed)
{
    ServeGames(SlowGames(300));
    Form f = Open();
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForDealRequests(1));
    f.Raise(kPause, Event::Click);
    EXPECT_EQ(Caption(f, kPause), "继续");
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：暂停...");
    const std::size_t seen = DealRequests().size();
    PumpFor(1500);
    // Nothing advanced: no request, the label and the first row as they were.
    EXPECT_EQ(DealRequests().size(), seen);
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：暂停...");
    EXPECT_EQ(f.Control(kList).Cell(0, 5), "数据计算中...");
    // While the run is active the list is not sorted, whatever an earlier run allowed.
    TotalRunIdle = true;
    f.Raise(kList, Event::ColumnClick, {.column = 0});
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, kRefusal);

    f.Raise(kPause, Event::Click);
    EXPECT_EQ(Caption(f, kPause), "暂停");
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：运行中...");
    ASSERT_TRUE(WaitForEnd(f));
    EXPECT_EQ(DealRequests().size(), 3u);
    EXPECT_THAT(f.Control(kList).ColumnCells(3), ElementsAre("11", "11", "11"));
}

TEST_F(TotalVolumeTest, StopWhilePausedEndsTheRunAndKeepsTheResumeCaption)
{
    ServeGames(SlowGames(300));
    Form f = Open();
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForDealRequests(1));
    f.Raise(kPause, Event::Click);
    f.Raise(kStop, Event::Click);
    EXPECT_EQ(Caption(f, kPause), "继续");
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：停止...");
    EXPECT_FALSE(Enabled(f, kStart));
    EXPECT_FALSE(Enabled(f, kPause));
    EXPECT_FALSE(Enabled(f, kStop));
    EXPECT_TRUE(TotalRunIdle.load());
    ASSERT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000));
    EXPECT_EQ(DealRequests().size(), 1u);
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：停止...");
    EXPECT_EQ(f.Control(kList).Cell(0, 3), "");
}

TEST_F(TotalVolumeTest, AStoppedRunWritesNothingIntoRowsASortHasMoved)
{
    ServeGames(SlowGames(600));
    Form f = Open();
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForDealRequests(1));
    // The first game's request is on its way: stop, then sort so that row 0 holds the last game.
    f.Raise(kStop, Event::Click);
    f.Raise(kList, Event::ColumnClick, {.column = 0});
    f.Raise(kList, Event::ColumnClick, {.column = 0});
    Control list = f.Control(kList);
    EXPECT_THAT(list.ColumnCells(0), ElementsAre("3", "2", "1"));
    ASSERT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000));
    PumpFor(200);
    EXPECT_THAT(list.ColumnCells(3), ElementsAre("", "", ""));
    EXPECT_THAT(list.ColumnCells(4), ElementsAre("", "", ""));
    EXPECT_THAT(list.ColumnCells(5), ElementsAre("", "", "数据计算中..."));
    EXPECT_EQ(Label(f), "查询进度：1/3     状态：停止...");
    EXPECT_EQ(DealRequests().size(), 1u);
}

TEST_F(TotalVolumeTest, ClosingTheWindowEndsItsWorkersWithoutFurtherRequests)
{
    // During a run.
    ServeGames(SlowGames(400));
    Form f = Open();
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForDealRequests(1));
    f.Destroy();
    EXPECT_FALSE(f.IsOpen());
    ASSERT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000));
    EXPECT_EQ(DealRequests().size(), 1u);
    EXPECT_TRUE(waits.Calls().empty());  // not even the wait after the page
    EXPECT_FALSE(TotalRunIdle.load());

    // While the game list loads.
    ServeGames(SlowGames(0), 400);
    const std::size_t before = server.RequestCount();
    Form g = LoadTotalVolumeWindow();
    ASSERT_TRUE(server.WaitForRequests(before + 1, 5000));
    PumpFor(50);
    // Loading: every button disabled, the panel hidden.
    EXPECT_EQ(Label(g), "初始化中...");
    EXPECT_FALSE(Enabled(g, kStart));
    EXPECT_FALSE(Enabled(g, kPause));
    EXPECT_FALSE(Enabled(g, kStop));
    EXPECT_FALSE(g.Control("分组框2").Visible());
    g.Destroy();
    ASSERT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 5000));
    EXPECT_EQ(server.RequestCount(), before + 1);
}

TEST_F(TotalVolumeTest, ADoubleClickStartsOneRun)
{
    ServeGames({{"a", "甲", {{{"1"}}}}, {"b", "乙", {{{"2"}}}}});
    Form f = Open();
    f.Raise(kStart, Event::Click);
    EXPECT_FALSE(Enabled(f, kStart));
    f.Raise(kStart, Event::Click);
    ASSERT_TRUE(WaitForEnd(f));
    PumpFor(300);
    EXPECT_EQ(DealRequests().size(), 2u);
    EXPECT_THAT(f.Control(kList).ColumnCells(3), ElementsAre("1", "2"));
}

TEST_F(TotalVolumeTest, TwoWindowsKeepTheirOwnRuns)
{
    ServeGames(SlowGames(200, 2));
    Form a = Open();
    Form b = Open();
    a.Raise(kStart, Event::Click);
    ASSERT_TRUE(PumpUntil([&] { return Label(a) == "查询进度：1/2     状态：运行中..."; }, 5000));
    a.Raise(kPause, Event::Click);
    b.Raise(kStart, Event::Click);
    // B runs to its end while A stays paused; B's end does not let A sort while A's run is active.
    ASSERT_TRUE(WaitForEnd(b));
    EXPECT_EQ(Label(a), "查询进度：1/2     状态：暂停...");
    EXPECT_THAT(a.Control(kList).ColumnCells(5), ElementsAre("数据计算中...", ""));
    EXPECT_LE(DealRequests().size(), 3u);
    a.Raise(kList, Event::ColumnClick, {.column = 0});
    EXPECT_EQ(boxes.Calls().size(), 1u);
    b.Raise(kList, Event::ColumnClick, {.column = 0});
    EXPECT_EQ(boxes.Calls().size(), 1u);
    // Stopping B's finished run leaves A paused; A then goes on to its own end.
    b.Raise(kStop, Event::Click);
    EXPECT_EQ(Caption(a, kPause), "继续");
    EXPECT_TRUE(Enabled(a, kStop));
    a.Raise(kPause, Event::Click);
    ASSERT_TRUE(WaitForEnd(a));
    EXPECT_EQ(DealRequests().size(), 4u);
    EXPECT_THAT(a.Control(kList).ColumnCells(5), ElementsAre("完成", "完成"));
    EXPECT_THAT(b.Control(kList).ColumnCells(5), ElementsAre("完成", "完成"));
}

TEST_F(TotalVolumeTest, TheOpenerOnThePageOpensANewWindowAtEachClick)
{
    ServeGames({{"a", "甲", {}}});
    // The main window has the opener on page 3 and binds its click once.
    const WindowLayout mainLayout = MainWindowLayout();
    const auto opener = std::find_if(mainLayout.controls.begin(), mainLayout.controls.end(),
                                     [](const ControlSpec& c) { return c.name == kTotalVolumeOpener; });
    ASSERT_NE(opener, mainLayout.controls.end());
    EXPECT_EQ(opener->parent, kMainTab);
    EXPECT_EQ(opener->page, kPageRankings);
    EventTable events;
    for (const EventBinding& b : MainWindowEvents())
        if (b.control == kTotalVolumeOpener) events.push_back(b);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].event, Event::Click);

    // Its click, on a window of the test's own with the same button.
    WindowLayout layout{"主窗口", {50, 50, 400, 300}, true, {}};
    ControlSpec button = *opener;
    button.parent.clear();
    button.bounds.left = button.bounds.top = 10;
    layout.Add(button);
    Form main = LoadForm(layout, events);
    forms.push_back(main);
    auto totalWindows = [] {
        std::vector<Form> found;
        for (const Form& f : OpenForms())
            if (f.Title() == kTotalVolumeTitle) found.push_back(f);
        return found;
    };
    main.Raise(kTotalVolumeOpener, Event::Click);
    main.Raise(kTotalVolumeOpener, Event::Click);
    const std::vector<Form> opened = totalWindows();
    ASSERT_EQ(opened.size(), 2u);
    for (const Form& f : opened) {
        forms.push_back(f);
        EXPECT_TRUE(f.Visible());
        EXPECT_EQ(GetParent(f.Handle()), nullptr);
        EXPECT_EQ(GetWindow(f.Handle(), GW_OWNER), nullptr);
        RECT r{};
        GetClientRect(f.Handle(), &r);
        EXPECT_EQ(r.right, 475);
        EXPECT_EQ(r.bottom, 490);
        ASSERT_TRUE(PumpUntil([&] { return f.Control(kList).RowCount() == 1; }, 10000));
        EXPECT_FALSE(f.Control("分组框2").Visible());
        EXPECT_EQ(Caption(f, kSortLabel), "降");
    }
}

}  // namespace
}  // namespace totalvolume_test
