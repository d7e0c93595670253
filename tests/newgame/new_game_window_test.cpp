// NewGameWindow: opening, the platform list, the page buttons and their states, the matching, the
// menu links and the column sort.
#include "new_game_fixture.h"

#include "client/main_window.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace newgame_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kListButton[] = "超级按钮_获取17173列表";
constexpr char kUp[] = "超级按钮_向上";
constexpr char kDown[] = "超级按钮_向下";

TEST_F(NewGameTest, AFreshWindowAndItsPlatformList)
{
    ServePlatform({{"问道", "g1"}, {"abc online", "g2"}}, 800);
    form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
    ASSERT_TRUE(form.IsOpen());
    EXPECT_EQ(form.Title(), "17173新游戏交易行情");
    // While the platform list loads: only 向下 of the page buttons, and the export.
    EXPECT_EQ(Caption(kListButton), "初始化中...");
    EXPECT_EQ(Buttons(), "001000");
    EXPECT_TRUE(Enabled("超级按钮_导出17173"));
    EXPECT_FALSE(form.Control("分组框2").Visible());
    EXPECT_FALSE(form.Control("超级列表框_5173游戏列表").Visible());
    EXPECT_FALSE(form.Control("总价_17173").Visible());
    EXPECT_EQ(Caption("透明标签_排序"), "升");
    EXPECT_EQ(NewGamePageNumber.load(), 1);

    ASSERT_TRUE(PumpUntil([&] { return !NewGameWindowActivity(form).platformLoading; }, 10000));
    EXPECT_EQ(Caption(kListButton), "获取17173新游测试表");
    EXPECT_EQ(Buttons(), "101000");
    Control games = form.Control("超级列表框_5173游戏列表");
    ASSERT_EQ(games.RowCount(), 2);
    EXPECT_THAT(games.RowCells(1), ElementsAre("2", "abc online", "g2"));

    // The sort label lies under 获取51数据, which takes the clicks there.
    HWND label = FindControlWindow(form.Handle(), "透明标签_排序");
    HWND button = FindControlWindow(form.Handle(), "超级按钮_获取51数据");
    RECT r;
    GetWindowRect(label, &r);
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(form.Handle(), &centre);
    EXPECT_EQ(ChildWindowFromPointEx(form.Handle(), centre, CWP_SKIPINVISIBLE), button);
}

TEST_F(NewGameTest, PageDownThenUpAndTheMatchingOfEachPage)
{
    ServePlatform({{"AB", "id-ab"}, {"abc online", "id-abc"}, {"ABC 2", "id-abc2"}});
    ServeListPage(1, {Game("ABC"), Game("一号新游")});
    ServeListPage(2, {Game("二号新游"), Game("ABC"), Game(""), Game("ab")});
    Open();

    LoadWith(kDown);
    EXPECT_THAT(ListTargets(), ElementsAre("/testing-list.html?page=2&type=0&theme=0&frame=0"));
    EXPECT_EQ(NewGamePageNumber.load(), 2);
    Control list = List();
    ASSERT_EQ(list.RowCount(), 4);
    for (int r = 0; r < 4; ++r) EXPECT_EQ(list.Cell(r, 0), std::to_string(r + 1));
    // ABC matches "abc online" (the upper candidate), never "AB"; an empty name matches nothing.
    EXPECT_EQ(list.Cell(1, kNewGamePlatformId), "id-abc");
    EXPECT_EQ(list.Cell(2, kNewGamePlatformId), "");
    EXPECT_EQ(list.Cell(3, kNewGamePlatformId), "id-ab");
    EXPECT_EQ(list.Cell(0, kNewGamePlatformId), "");
    EXPECT_EQ(Part(0), "游戏列表载入完毕！");
    EXPECT_EQ(Buttons(), "111100");

    LoadWith(kUp);
    EXPECT_EQ(ListTargets().back(), "/testing-list.html?page=1&type=0&theme=0&frame=0");
    EXPECT_EQ(NewGamePageNumber.load(), 1);
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.Cell(0, kNewGameName), "ABC");
    EXPECT_EQ(Buttons(), "101100");

    // 获取17173列表 always goes to page 1; a page without rows gives an empty list and 向上 leads back.
    LoadWith(kDown);
    LoadWith(kDown);
    EXPECT_EQ(NewGamePageNumber.load(), 3);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(Buttons(), "111100");
    LoadWith(kListButton);
    EXPECT_EQ(NewGamePageNumber.load(), 1);
    EXPECT_EQ(list.RowCount(), 2);
}

TEST_F(NewGameTest, AButtonComesBackOnlyWhenNoLoadHoldsIt)
{
    // The platform list arrives while a page load still runs: 获取17173列表 stays disabled.
    ServePlatform({{"问道", "g1"}}, 600);
    ServeListPage(2, {Game("问道")}, 2000);
    form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
    Click(kDown);
    EXPECT_EQ(Buttons(), "000000");
    EXPECT_EQ(Part(0), "正在载入游戏列表...");
    ASSERT_TRUE(PumpUntil([&] { return !NewGameWindowActivity(form).platformLoading; }, 10000));
    EXPECT_TRUE(NewGameWindowActivity(form).pageLoading);
    EXPECT_EQ(Caption(kListButton), "获取17173新游测试表");
    EXPECT_EQ(Buttons(), "000000");
    ASSERT_TRUE(WaitPageLoaded());
    EXPECT_EQ(Buttons(), "111100");
    // The page was matched against the platform list that had arrived meanwhile.
    EXPECT_EQ(List().Cell(0, kNewGamePlatformId), "g1");

    // 向上 stays disabled while its own load runs, also when it leads to a page above 1.
    LoadWith(kDown);
    ServeListPage(2, {Game("问道")}, 1000);
    Click(kUp);
    EXPECT_EQ(NewGamePageNumber.load(), 2);
    PumpFor(300);
    EXPECT_EQ(Buttons(), "000000");
    ASSERT_TRUE(WaitPageLoaded());
    EXPECT_EQ(Buttons(), "111100");

    // A click on a button that a load holds does nothing.
    ServeListPage(1, {}, 1000);
    const std::size_t requests = ListTargets().size();
    Click(kUp);
    Click(kDown);
    Click(kListButton);
    EXPECT_EQ(NewGamePageNumber.load(), 1);
    ASSERT_TRUE(WaitPageLoaded());
    EXPECT_EQ(ListTargets().size(), requests + 1);
}

TEST_F(NewGameTest, AWindowClosedDuringALoadIsNotWritten)
{
    ServePlatform({{"问道", "g1"}}, 1000);
    ServeListPage(2, {Game("问道")}, 1000);
    form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
    Click(kDown);
    Control list = List();
    form.Destroy();
    ASSERT_TRUE(WaitForRequests(2));
    PumpFor(1500);
    EXPECT_FALSE(list.IsAlive());
    EXPECT_EQ(list.RowCount(), 0);
}

TEST_F(NewGameTest, TheMenuOpensThePortalPagesOfTheSelectedGame)
{
    ServePlatform({});
    NewGameEntry twice = Game("双");
    twice.reviewLink = "/game/newgame-7.html";
    NewGameEntry odd = Game("怪");
    odd.reviewLink = "/Game-8.html";
    odd.developerLink = "javascript:alert(1)";
    odd.operatorLink = "";
    NewGameEntry secure = Game("安");
    secure.developerLink = "HTTPS://dev.example/a";
    secure.operatorLink = "file:///C:/windows/system32/calc.exe";
    ServeListPage(1, {twice, odd, secure});
    Open();
    LoadWith(kListButton);
    const std::string host = "http://" + server.HostAndPort();

    auto opened = [&](int row, const char* item) {
        const std::size_t before = shell.Calls().size();
        List().SetSelection(row);
        form.Raise(item, Event::Click);
        const auto calls = shell.Calls();
        return calls.size() == before ? std::string("<nothing>") : std::string(calls.back().address);
    };
    // No row selected: the review page is the list host alone; the two links open nothing.
    EXPECT_EQ(opened(-1, "打开评测页面"), host);
    EXPECT_EQ(opened(-1, "打开开发商页面"), "<nothing>");
    EXPECT_EQ(opened(-1, "打开运营商页面"), "<nothing>");
    EXPECT_EQ(opened(-1, "领取17173福利"), "http://gift.test");

    EXPECT_EQ(opened(0, "打开评测页面"), host + "/game/newgame-7.html");
    EXPECT_EQ(opened(0, "领取17173福利"), "http://gift.test/sche/newsche-7.html");
    EXPECT_EQ(opened(0, "打开开发商页面"), "http://newgame.example/dev.html");
    EXPECT_EQ(opened(0, "打开运营商页面"), "http://newgame.example/op.html");
    // "game" is replaced with its letter case.
    EXPECT_EQ(opened(1, "领取17173福利"), "http://gift.test/Game-8.html");
    EXPECT_EQ(opened(1, "打开开发商页面"), "<nothing>");
    EXPECT_EQ(opened(1, "打开运营商页面"), "<nothing>");
    EXPECT_EQ(opened(2, "打开开发商页面"), "HTTPS://dev.example/a");
    EXPECT_EQ(opened(2, "打开运营商页面"), "<nothing>");
}

TEST_F(NewGameTest, TheFirstSortIsDescendingAndAColumnWithoutSortStillTurnsIt)
{
    ServePlatform({});
    ServeListPage(1, {Game("甲", "2015-01-15"), Game("乙", "2015-03-02"), Game("丙", "待定"), Game("丁", "2014-12-31")});
    Open();
    LoadWith(kListButton);
    Control list = List();
    ColumnClick(0);
    EXPECT_EQ(Caption("透明标签_排序"), "降");
    EXPECT_THAT(list.ColumnCells(0), ElementsAre("4", "3", "2", "1"));
    ColumnClick(0);
    EXPECT_EQ(Caption("透明标签_排序"), "升");
    EXPECT_THAT(list.ColumnCells(0), ElementsAre("1", "2", "3", "4"));
    // 游戏名称 does not sort but turns the direction: the next sort, by date, is ascending.
    ColumnClick(kNewGameName);
    EXPECT_EQ(Caption("透明标签_排序"), "降");
    EXPECT_THAT(list.ColumnCells(0), ElementsAre("1", "2", "3", "4"));
    ColumnClick(kNewGameTestDate);
    EXPECT_EQ(Caption("透明标签_排序"), "升");
    EXPECT_THAT(list.ColumnCells(kNewGameName), ElementsAre("丙", "丁", "甲", "乙"));
}

TEST(NewGameOpener, TheButtonOpensTheWindowAndASecondClickBringsItToTheFront)
{
    WindowLayout layout{"页3", {60, 60, 400, 300}, true, {}};
    layout.Add(ui::SuperButton("超级按钮_17173交易", "17173新游", {10, 10, 120, 30}));
    EventTable events;
    BindNewGameOpenerEvents(events);
    Form main = LoadForm(layout, events);
    ASSERT_TRUE(main.IsOpen());
    const int before = OpenFormCount();

    main.Raise("超级按钮_17173交易", Event::Click);
    ASSERT_TRUE(NewGameWindow.IsOpen());
    EXPECT_EQ(OpenFormCount(), before + 1);
    const Form first = NewGameWindow;
    EXPECT_EQ(GetWindow(first.Handle(), GW_OWNER), nullptr);

    SetForegroundWindow(main.Handle());
    ShowWindow(first.Handle(), SW_MINIMIZE);
    main.Raise("超级按钮_17173交易", Event::Click);
    EXPECT_TRUE(NewGameWindow == first);
    EXPECT_EQ(OpenFormCount(), before + 1);
    EXPECT_FALSE(IsIconic(first.Handle()));

    // Closed, it opens anew on page 1.
    NewGamePageNumber = 5;
    first.Destroy();
    main.Raise("超级按钮_17173交易", Event::Click);
    EXPECT_TRUE(NewGameWindow.IsOpen());
    EXPECT_FALSE(NewGameWindow == first);
    EXPECT_EQ(NewGamePageNumber.load(), 1);
    NewGameWindow.Destroy();
    main.Destroy();
    PumpFor(50);

    // The main window has the opener on page 3 and binds it.
    const WindowLayout mainLayout = MainWindowLayout();
    EXPECT_TRUE(std::any_of(mainLayout.controls.begin(), mainLayout.controls.end(), [](const ControlSpec& c) {
        return c.name == "超级按钮_17173交易" && c.parent == kMainTab && c.page == kPageRankings;
    }));
    const EventTable mainEvents = MainWindowEvents();
    EXPECT_TRUE(std::any_of(mainEvents.begin(), mainEvents.end(), [](const EventBinding& b) {
        return b.control == "超级按钮_17173交易" && b.event == Event::Click;
    }));
}

}  // namespace
}  // namespace newgame_test
