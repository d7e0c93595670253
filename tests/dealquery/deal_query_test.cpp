// The latest-deal query: requests, rows, statistics labels, status texts, the saved copy and restore,
// and a newer query taking over from an older one.
#include "deal_fixture.h"

#include "client/page_bounds.h"
#include "helpers/listview_sort.h"
#include "helpers/text_helpers.h"

#include <gmock/gmock.h>

#include <climits>
#include <thread>

namespace dealquery_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// --- The page format -----------------------------------------------------------------------------------

TEST(DealPage, AddressCarriesTheIdsPageAndPageSize)
{
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", "deals.test:8080");
    EXPECT_EQ(DealListPageAddress("1002", "-1", "-1", "-1", 1),
              "http://deals.test:8080/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=1002&raceid=-1&ga=-1&gs=-1"
              "&bt=-1&sort=LastRefresh_DESC&section=-1_-1&pg=1&ps=80");
    EXPECT_THAT(DealListPageAddress("g", "a", "s", "t", 12),
                HasSubstr("&gm=g&raceid=-1&ga=a&gs=s&bt=t&sort=LastRefresh_DESC&section=-1_-1&pg=12&ps=80"));
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", nullptr);
}

TEST(DealPage, RecordsAndFieldsAreCutByTheMarkers)
{
    std::vector<SampleDeal> deals = {Deal("甲", "1,280", "0.0215元", "2015-01-07 09:30:00"),
                                     Deal("乙", "12", "3元/金", "2015-11-07 23:59:59")};
    const std::string page = replica::DealListPageHtml(deals, 3, 2, "1234");
    EXPECT_EQ(DealPageCount(page), 3);
    EXPECT_EQ(DealCountOfPage(page), "1234");
    const TextArray records = SplitDealRecords(page);
    ASSERT_EQ(records.size(), 2u);
    const DealRecord a = ParseDealRecord(records[0]);
    EXPECT_EQ(a.name, "商品甲");
    EXPECT_EQ(a.address, "http://trading.example/deal/甲.html");
    EXPECT_EQ(a.unitPrice, "0.0215元");
    EXPECT_EQ(a.gameServer, "问道/电信一区/服甲/无");
    EXPECT_EQ(a.goodsType, "游戏币");
    EXPECT_EQ(a.price, "1,280");
    EXPECT_EQ(a.dealTime, "15-01-07 09:30:00");
    EXPECT_EQ(ParseDealRecord(records[1]).dealTime, "15-11-07 23:59:59");

    // A page without its markers: no pages, no records, no count; a record without markers: empty fields.
    EXPECT_EQ(DealPageCount("<html>维护中</html>"), 0);
    EXPECT_TRUE(SplitDealRecords("<html>维护中</html>").empty());
    EXPECT_EQ(DealCountOfPage(""), "");
    const DealRecord empty = ParseDealRecord("<li>坏的记录</li>");
    EXPECT_EQ(empty.name + empty.address + empty.unitPrice + empty.gameServer + empty.goodsType + empty.price +
                  empty.dealTime,
              "");
    // A page that lists no deal has its table but no record.
    EXPECT_TRUE(SplitDealRecords(replica::DealListPageHtml({}, 1, 1, "0")).empty());
    // Blanks (also full-width ones) around the page count are removed before it is read.
    EXPECT_EQ(DealPageCount("定单，共 1　2 页"), 12);
}

// --- Requests ------------------------------------------------------------------------------------------

TEST_F(DealQueryTest, RequestsPerPageCountAndTheWaitAfterEachPage)
{
    struct Case {
        const char* game;
        int pages;
        int requests;
    } cases[] = {{"10", 1, 1}, {"30", 3, 4}, {"0", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.game);
        GamePages g;
        for (int p = 0; p < c.pages; ++p) g.pages.push_back(Deals("P" + std::to_string(p + 1) + "-", 3));
        ServeGame(c.game, g);
        server.ClearRequests();
        const std::size_t waitsBefore = waits.Calls().size();
        Choose(c.game, "游戏" + std::string(c.game));
        RunQuery();
        const std::vector<std::string> t = Targets();
        ASSERT_EQ(static_cast<int>(t.size()), c.requests);
        EXPECT_THAT(t[0], HasSubstr("&pg=1&ps=80"));
        for (int i = 1; i < c.requests; ++i) EXPECT_THAT(t[i], HasSubstr("&pg=" + std::to_string(i) + "&ps=80"));
        const auto w = waits.Calls();
        ASSERT_EQ(static_cast<int>(w.size() - waitsBefore), c.pages);
        for (std::size_t i = waitsBefore; i < w.size(); ++i) EXPECT_EQ(w[i].milliseconds, 1000);
        EXPECT_EQ(List().RowCount(), 3 * c.pages);
    }
}

TEST(DealPageRun, TheAnnouncedCountIsBoundedAndThreeEmptyPagesInARowEndTheRun)
{
    EXPECT_EQ(PageRun(-5).Pages(), 0);
    EXPECT_EQ(PageRun(3).Pages(), 3);
    EXPECT_EQ(PageRun(INT_MAX).Pages(), kMaxListPages);
    PageRun run(10);
    EXPECT_TRUE(run.Continue(0));   // one empty or failed page is passed over
    EXPECT_TRUE(run.Continue(80));
    EXPECT_TRUE(run.Continue(0));
    EXPECT_TRUE(run.Continue(0));
    EXPECT_FALSE(run.Continue(0));  // the third in a row
}

TEST(DealPageRun, ARunKeepsAtMostTheRowsOfOneSheetAndEndsWithThePageThatFillsThem)
{
    PageRun run(kMaxListPages);
    const int fullPages = kMaxListRows / kMaxRecordsPerPage;  // 65 pages of 1,000 records
    for (int n = 1; n <= fullPages; ++n) {
        ASSERT_EQ(run.Keep(kMaxRecordsPerPage), kMaxRecordsPerPage) << n;
        ASSERT_TRUE(run.Continue(kMaxRecordsPerPage)) << n;
    }
    TextArray page(kMaxRecordsPerPage, "r");
    run.KeepRecords(page);
    EXPECT_EQ(page.size(), static_cast<std::size_t>(kMaxListRows % kMaxRecordsPerPage));
    EXPECT_FALSE(run.Continue(kMaxRecordsPerPage));
    EXPECT_EQ(run.Keep(5), 0);

    // One row below the cap the run goes on; the next page keeps one record and ends it.
    PageRun below(kMaxListPages);
    EXPECT_EQ(below.Keep(-3), 0);  // a count below zero keeps nothing
    EXPECT_EQ(below.Keep(kMaxListRows - 1), kMaxListRows - 1);
    EXPECT_TRUE(below.Continue(kMaxListRows - 1));
    EXPECT_EQ(below.Keep(5), 1);
    EXPECT_FALSE(below.Continue(5));
}

TEST_F(DealQueryTest, AHostilePageCountEndsAfterThreePagesInARowWithoutDeals)
{
    // Deals on pages 1 and 3 only; every page claims billions of pages (or a count that is no integer).
    for (const char* announced : {"2147483648", "1e9", "99999999999999999999"}) {
        SCOPED_TRACE(announced);
        GamePages g;
        g.pages = {Deals("一", 2), {}, Deals("三", 1)};
        g.announcedPages = announced;
        ServeGame("90", g);
        server.ClearRequests();
        Choose("90", "大游戏");
        RunQuery();
        // The first page, then pages 1 to 6: page 2 is passed over, 4, 5 and 6 end the run.
        const auto t = Targets();
        ASSERT_EQ(t.size(), 7u);
        EXPECT_THAT(t.back(), HasSubstr("&pg=6&ps=80"));
        EXPECT_EQ(List().RowCount(), 3);
        EXPECT_EQ(List().Cell(0, 0), "3");
        EXPECT_EQ(DealQueryBusy.load(), 0);
        EXPECT_EQ(DealResultsSaved.load(), 1);
    }
}

TEST_F(DealQueryTest, UnchosenAreaServerAndTypeAreMinusOneChosenOnesTheirIds)
{
    ServeGame("7", {{Deals("a", 1)}});
    Choose("7", "问道");
    RunQuery();
    Choose("7", "问道", "电信一区", "71", "紫禁城", "712", "游戏币", "bt9");
    RunQuery();
    const auto t = Targets();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_THAT(t[0], HasSubstr("gm=7&raceid=-1&ga=-1&gs=-1&bt=-1&"));
    EXPECT_THAT(t[1], HasSubstr("gm=7&raceid=-1&ga=71&gs=712&bt=bt9&"));
    EXPECT_EQ(Caption("查询目标"), "问道>>电信一区>>紫禁城>>游戏币");
}

TEST_F(DealQueryTest, NoGameChosenShowsTheMessageAndSendsNothing)
{
    Choose("", "");
    form.Control("游戏列表_游戏名_显").SetSelection(-1);
    form.Control("游戏列表_游戏名_编号").SetSelection(-1);
    List().AddRow("旧的行");
    DealQueryBusy = 0;
    RunQuery();
    EXPECT_EQ(server.RequestCount(), 0u);
    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "请选择你们要查询的游戏！");
    EXPECT_EQ(calls[0].title, "警告");
    EXPECT_EQ(calls[0].style & MB_TYPEMASK, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(DealResultsSaved.load(), 0);
    EXPECT_EQ(Caption("查询目标"), ">>>>>>");
    EXPECT_EQ(Caption("状态"), "正在查询，请等待.....");
    EXPECT_EQ(form.Control("状态条1").PartText(1), "正在查询，请等待.....");
    EXPECT_EQ(List().RowCount(), 1);
}

TEST_F(DealQueryTest, BusyButtonRefusesAndStartsNothing)
{
    ServeGame("1", {{Deals("a", 1)}});
    Choose("1", "问道");
    DealQueryBusy = 1;
    Click("成交量");
    PumpFor(300);
    EXPECT_EQ(server.RequestCount(), 0u);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "正在获取交易量中");
    EXPECT_EQ(boxes.Calls()[0].title, "警告");

    // Idle, the button starts the worker, which reads the page and ends idle.
    DealQueryBusy = 0;
    Click("成交量");
    ASSERT_TRUE(PumpUntil([&] { return form.Control("状态条1").PartText(1) == "查询完毕！"; }, 10000));
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_TRUE(PumpUntil([] { return DealQueryBusy.load() == 0 && !DealQueryRunning(); }));
}

// --- Rows ----------------------------------------------------------------------------------------------

TEST_F(DealQueryTest, TwoFullPagesStackNewestPageOnTopAndNumberDown)
{
    GamePages g;
    g.pages = {Deals("一页", 80), Deals("二页", 80)};
    ServeGame("2", g);
    Choose("2", "梦幻西游");
    RunQuery();
    Control list = List();
    ASSERT_EQ(list.RowCount(), 160);
    struct Row {
        int position;
        const char* number;
        const char* name;
    } rows[] = {{0, "160", "商品二页1"}, {79, "81", "商品二页80"}, {80, "80", "商品一页1"}, {159, "1", "商品一页80"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.position);
        EXPECT_EQ(list.Cell(r.position, 0), r.number);
        EXPECT_EQ(list.Cell(r.position, 1), r.name);
    }
    const std::string tag = "二页1";
    EXPECT_THAT(list.RowCells(0),
                ElementsAre("160", "商品" + tag, "问道/电信一区/服" + tag + "/无", "游戏币", "1", "1元",
                            "15-01-07 09:30:00", "http://trading.example/deal/" + tag + ".html"));
    EXPECT_EQ(List("总合_隐").RowCount(), 160);
    EXPECT_EQ(List("单价_隐").RowCount(), 160);
}

// --- Statistics ----------------------------------------------------------------------------------------

struct LabelCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> deals;  // price cell, unit-price cell
    std::string footer;
    std::string count, total, lowest, highest, lowestUnit, highestUnit, average;
};

TEST_F(DealQueryTest, StatisticsLabels)
{
    const LabelCase cases[] = {
        {"average of 1, 2, 2", {{"1", "1元"}, {"2", "2元"}, {"2", "2元"}}, "", "3 笔", "5 元", "1", "2", "1", "2",
         "1.667"},
        {"tenths", {{"0.1", "0.1元"}, {"0.2", "0.2元"}}, "", "2 笔", "0.3 元", "0.1", "0.2", "0.1", "0.2", "0.15"},
        {"thousands separators", {{"1,280", "0.0215元"}, {"999", "0.5元"}, {"12", "1元"}}, "", "3 笔", "2291 元", "12",
         "1280", "0.0215", "1", "0.507"},
        {"a unit price without 元", {{"10", "0.0215"}, {"20", "2元"}, {"30", "3元"}}, "", "3 笔", "60 元", "10", "30",
         "", "3", "1.667"},
        {"the footer's count, not the rows'", {{"5", "1元"}}, "1234", "1234 笔", "5 元", "5", "5", "1", "1", "1"},
        {"whole average", {{"4", "2元"}, {"4", "2元"}}, "", "2 笔", "8 元", "4", "4", "2", "2", "2"},
        {"price without digits", {{"面议", "1元"}, {"3", "1元"}}, "", "2 笔", "3 元", "面议", "3", "1", "1", "1"},
    };
    int game = 100;
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.what);
        GamePages g;
        g.footer = c.footer;
        g.pages.emplace_back();
        int i = 0;
        for (const auto& [price, unit] : c.deals) g.pages[0].push_back(Deal(std::to_string(++i), price, unit));
        ServeGame(std::to_string(++game), g);
        Choose(std::to_string(game), "问道");
        RunQuery();
        EXPECT_EQ(Caption("标签_交易笔数"), c.count);
        EXPECT_EQ(Caption("标签_交易总金额"), c.total);
        EXPECT_EQ(Caption("标签_最低价"), c.lowest);
        EXPECT_EQ(Caption("标签_最高价"), c.highest);
        EXPECT_EQ(Caption("标签_最低单价"), c.lowestUnit);
        EXPECT_EQ(Caption("标签_最高单价"), c.highestUnit);
        EXPECT_EQ(Caption("标签_平均单价"), c.average);
        // The list shows the cells as found.
        EXPECT_EQ(List().Cell(0, 4), c.deals[0].first);
        EXPECT_EQ(List().Cell(0, 5), c.deals[0].second);
    }
}

TEST(DealStatisticsRules, AverageRoundsHalfAwayFromZeroAndIsEmptyWithoutDeals)
{
    EXPECT_EQ(AverageUnitPriceText("5", 3), "1.667");
    EXPECT_EQ(AverageUnitPriceText("0.001", 2), "0.001");  // 0.0005 rounds up
    EXPECT_EQ(AverageUnitPriceText("0.1", 2), "0.05");
    EXPECT_EQ(AverageUnitPriceText("", 0), "");
    EXPECT_EQ(UnitPriceNumberText("0.0215元/金"), "0.0215");
    EXPECT_EQ(UnitPriceNumberText("0.0215"), "");
    EXPECT_EQ(PriceNumberText("1,234,567"), "1234567");
    // Work lists sort as the list-view number sort does: an empty text reads as 0 and comes first.
    const DealStatistics s = ComputeDealStatistics({"10", "2", "1280"}, {"", "0.5", "2"});
    EXPECT_EQ(s.sortedPrices, (TextArray{"2", "10", "1280"}));
    EXPECT_EQ(s.sortedUnitPrices, (TextArray{"", "0.5", "2"}));
    EXPECT_EQ(s.priceTotal, "1292");
}

TEST(DealStatisticsRules, WorkListsSortExactlyAsTheListViewNumberSortTiesIncluded)
{
    // The extremes are the first and last rows of the sorted work list; with ties (texts that read as
    // the same number) which text ends up there is the list-view sort's insertion rule.
    const std::vector<TextArray> lists = {
        {"", "0", "面议", "0.00000001", "-0"},
        {"1", "1.0", "1.00000001", "0.5", "1", "2", "2.0", ""},
        {"3", "3", "3", "3"},
        {"10", "9", "8", "7", "7.0", "6", "5", "5.0", "4", "3", "2", "1", "1.0"},
    };
    for (const TextArray& texts : lists) {
        TextArray expected;
        for (const Text& t : texts)
            expected.insert(expected.begin() + (FindSortedInsertPosition(expected, t, ListViewSortNumber, true) - 1), t);
        EXPECT_EQ(ComputeDealStatistics(texts, texts).sortedPrices, expected);
    }
}

TEST_F(DealQueryTest, StatusTextsSummaryAndWorkListsAfterAQuery)
{
    GamePages g;
    g.pages = {{Deal("a", "1,280", "2元"), Deal("b", "20", "0.5元")}};
    ServeGame("5", g);
    Choose("5", "问道", "电信一区", "51", "紫禁城", "512", "游戏币", "3");
    RunQuery();
    Control bar = form.Control("状态条1");
    EXPECT_EQ(bar.PartText(0), "问道 >> 电信一区 >> 紫禁城 >> 游戏币   2 笔 定单     统计交易额为：  1300  元");
    EXPECT_EQ(bar.PartText(1), "查询完毕！");
    DateTime when = 0;
    EXPECT_TRUE(TextToDateTime(bar.PartText(2), when)) << bar.PartText(2);
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(DealResultsSaved.load(), 1);
    EXPECT_THAT(List("总合_隐").RowCells(0), ElementsAre("20"));
    EXPECT_THAT(List("总合_隐").RowCells(1), ElementsAre("1280"));
    EXPECT_THAT(List("单价_隐").RowCells(0), ElementsAre("0.5"));
}

TEST_F(DealQueryTest, EmptyFirstReplyGivesEmptyStatistics)
{
    List().AddRow("旧");
    Choose("404", "没有的游戏");  // the server answers it with an empty body
    RunQuery();
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_EQ(Caption("标签_交易笔数"), " 笔");
    EXPECT_EQ(Caption("标签_交易总金额"), " 元");
    for (const char* label : {"标签_最低价", "标签_最高价", "标签_最低单价", "标签_最高单价", "标签_平均单价"})
        EXPECT_EQ(Caption(label), "") << label;
    EXPECT_EQ(form.Control("状态条1").PartText(1), "查询完毕！");
    EXPECT_EQ(DealResultsSaved.load(), 1);
}

TEST_F(DealQueryTest, APageThatFailsInsideTheLoopAddsNoRows)
{
    // Of four pages, page 2 lists no deal and page 3 is an empty reply: they add no rows, and the count
    // comes from page 4.
    GamePages g;
    g.pages = {Deals("一", 2), {}, Deals("三", 4), Deals("四", 3)};
    g.footer = "77";
    g.failingPage = 3;
    ServeGame("9", g);
    Choose("9", "问道");
    RunQuery();
    EXPECT_EQ(server.RequestCount(), 5u);
    EXPECT_EQ(List().RowCount(), 5);
    EXPECT_EQ(List().Cell(0, 0), "5");
    EXPECT_EQ(List().Cell(0, 1), "商品四1");
    EXPECT_EQ(List().Cell(3, 0), "2");
    EXPECT_EQ(List().Cell(3, 1), "商品一1");
    EXPECT_EQ(Caption("标签_交易笔数"), "77 笔");

    // When the last page fails, the count is empty.
    g.failingPage = 4;
    ServeGame("9", g);
    RunQuery();
    EXPECT_EQ(List().RowCount(), 6);
    EXPECT_EQ(Caption("标签_交易笔数"), " 笔");
}

TEST_F(DealQueryTest, AQueryOutOfMemoryShowsWhatItReadAndFreesTheButton)
{
    GamePages g;
    g.pages = {{Deal("a", "1,280", "2元"), Deal("b", "20", "0.5元")}, {Deal("c", "5", "1元")}};
    ServeGame("5", g);
    Choose("5", "问道");
    {
        seams_test::RequestFailure failure("pg=2", 1);
        RunQuery();
        EXPECT_EQ(failure.Failures(), 1);
    }
    // Page 1 is the result, saved as after the last page.
    EXPECT_EQ(List().RowCount(), 2);
    EXPECT_EQ(Caption("标签_交易总金额"), "1300 元");
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    EXPECT_EQ(form.Control("状态条1").PartText(1), "查询完毕！");
    EXPECT_EQ(DealResultsSaved.load(), 1);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_FALSE(DealQueryRunning());

    Click("成交量");
    ASSERT_TRUE(PumpUntil([&] { return List().RowCount() == 3 && DealQueryBusy.load() == 0; }, 10000));
    EXPECT_TRUE(boxes.Calls().empty());
}

// --- Saved copy and restore ----------------------------------------------------------------------------

TEST_F(DealQueryTest, RestoreRefusesBeforeAQueryAndBringsBackTheLastCompleteOne)
{
    Click("按钮_恢复查询数据");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "请等成交信息获取完毕后再查找！");
    EXPECT_EQ(boxes.Calls()[0].title, "警告");

    GamePages g;
    g.pages = {{Deal("a", "10", "1元"), Deal("b", "30", "3元")}};
    ServeGame("3", g);
    Choose("3", "问道");
    RunQuery();
    const TextArray top = List().RowCells(0);
    const char* labels[] = {"标签_交易笔数", "标签_最高价", "标签_最低价", "标签_平均单价", "标签_最高单价",
                            "标签_最低单价", "标签_交易总金额"};
    TextArray captions;
    for (const char* l : labels) captions.push_back(Caption(l));
    EXPECT_EQ(List("成交信息复制").RowCount(), 2);
    EXPECT_EQ(List("成交信息复制").RowCells(0), top);
    EXPECT_EQ(Caption("透明标签_总副"), "40 元");

    // Something else in the list and labels (a date query does that), then restore.
    List().ClearRows();
    List().AddRow("别的");
    for (const char* l : labels) form.Control(l).SetText("x");
    form.Control("查询目标").SetText("不变");
    Click("按钮_恢复查询数据");
    EXPECT_EQ(boxes.Calls().size(), 1u);
    ASSERT_EQ(List().RowCount(), 2);
    EXPECT_EQ(List().RowCells(0), top);
    for (std::size_t i = 0; i < std::size(labels); ++i) EXPECT_EQ(Caption(labels[i]), captions[i]) << labels[i];
    EXPECT_EQ(Caption("查询目标"), "不变");

    // A query that stops for want of a game leaves nothing to restore.
    form.Control("游戏列表_游戏名_编号").SetSelection(-1);
    RunQuery();
    Click("按钮_恢复查询数据");
    ASSERT_EQ(boxes.Calls().size(), 3u);
    EXPECT_EQ(boxes.Calls()[2].text, "请等成交信息获取完毕后再查找！");
}

// --- Two queries ---------------------------------------------------------------------------------------

TEST_F(DealQueryTest, ANewerQueryTakesOverAndTheOlderStopsWriting)
{
    // The older query reads a slow game of three pages; while it waits for page 1 a selection clears the
    // busy flag and a newer query of a quick one-page game starts and ends.
    GamePages slow;
    slow.pages = {Deals("慢", 4), Deals("慢二", 4), Deals("慢三", 4)};
    slow.delayMs = 700;
    ServeGame("60", slow);
    GamePages quick;
    quick.pages = {{Deal("快", "7", "7元")}};
    ServeGame("61", quick);

    Choose("60", "慢游戏");
    HANDLE older = StartWorkerKept([f = form] { QueryLatestDeals(f); });
    ASSERT_TRUE(WaitForRequests(1, 5000));
    EXPECT_EQ(DealQueryBusy.load(), 1);
    DealQueryBusy = 0;  // a selection in the pick lists
    Choose("61", "快游戏");
    RunQuery();
    ASSERT_TRUE(WaitHandlePumping(older, 30000));
    CloseHandle(older);
    PumpFor(50);

    // Only the newer result is shown and saved; the older one stopped after the reply it waited for.
    EXPECT_EQ(List().RowCount(), 1);
    EXPECT_EQ(List().Cell(0, 1), "商品快");
    EXPECT_EQ(Caption("标签_交易笔数"), "1 笔");
    EXPECT_EQ(Caption("标签_交易总金额"), "7 元");
    EXPECT_EQ(Caption("查询目标"), "快游戏>>>>>>");
    EXPECT_EQ(List("成交信息复制").RowCount(), 1);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(DealResultsSaved.load(), 1);
    int slowRequests = 0;
    for (const auto& t : Targets())
        if (t.find("gm=60&") != std::string::npos) ++slowRequests;
    EXPECT_EQ(slowRequests, 1);  // the first page only
}

TEST_F(DealQueryTest, AQueryWithoutAGameLeavesARunningQueryItsResult)
{
    GamePages slow;
    slow.pages = {Deals("慢", 4), Deals("慢二", 4)};
    slow.delayMs = 400;
    ServeGame("62", slow);
    Choose("62", "慢游戏");
    HANDLE running = StartWorkerKept([f = form] { QueryLatestDeals(f); });
    ASSERT_TRUE(WaitForRequests(1, 5000));

    // The game list loses its selection (a filter rebuilt it) and 成交量 is pressed again.
    form.Control("游戏列表_游戏名_显").SetSelection(-1);
    form.Control("游戏列表_游戏名_编号").SetSelection(-1);
    RunQuery();
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "请选择你们要查询的游戏！");
    EXPECT_EQ(DealQueryBusy.load(), 1);  // the running query still holds it

    ASSERT_TRUE(WaitHandlePumping(running, 30000));
    CloseHandle(running);
    EXPECT_EQ(List().RowCount(), 8);
    EXPECT_EQ(Caption("标签_交易笔数"), "8 笔");
    EXPECT_EQ(List("成交信息复制").RowCount(), 8);
    EXPECT_EQ(DealResultsSaved.load(), 1);
    EXPECT_EQ(DealQueryBusy.load(), 0);
}

TEST_F(DealQueryTest, ClosingTheWindowEndsARunningQuery)
{
    GamePages slow;
    for (int p = 0; p < 20; ++p) slow.pages.push_back(Deals("页", 2));
    slow.delayMs = 100;
    ServeGame("70", slow);
    Choose("70", "慢游戏");
    HANDLE worker = StartWorkerKept([f = form] { QueryLatestDeals(f); });
    ASSERT_TRUE(WaitForRequests(3, 10000));
    form.Destroy();
    ASSERT_TRUE(WaitHandlePumping(worker, 10000));
    CloseHandle(worker);
    EXPECT_LT(server.RequestCount(), 8u);
    EXPECT_FALSE(DealQueryRunning());
}

}  // namespace
}  // namespace dealquery_test
