// The offers still for sale (未交易信息): requests, rows in the list's order, statistics, page bounds,
// the numbering across pages, the refusals, the sort and one writer at a time.
#include "monitor_fixture.h"

#include "client/page_bounds.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <map>
#include <set>

namespace monitor_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A listing reply of the test's own for every listing request: `pages` of offers, announcing `announced`
// pages (the real count when negative); page n is slow by `delayMs[n]` when given.
struct Listing {
    std::vector<std::vector<replica::SampleOffer>> pages;
    int announced = -1;
    std::map<int, unsigned> delayMs;
    std::set<int> failing;

    std::optional<LoopbackReply> Answer(const LoopbackRequest& r) const
    {
        const std::string path = r.Path();
        if (path.rfind("/list/", 0) != 0) return std::nullopt;
        // "...-0-0-0-<n>.shtml" is page n; the listing address itself is page 1.
        int page = 1;
        const std::size_t dash = path.rfind('-'), dot = path.rfind('.');
        const std::string last = path.substr(dash + 1, dot - dash - 1);
        if (std::count(path.begin(), path.end(), '-') == 8) page = std::atoi(last.c_str());
        const int count = announced >= 0 ? announced : static_cast<int>(pages.size());
        static const std::vector<replica::SampleOffer> none;
        const auto& offers = page >= 1 && page <= static_cast<int>(pages.size()) ? pages[page - 1] : none;
        LoopbackReply reply = LoopbackReply::Ok(failing.count(page) ? std::string()
                                                                    : replica::ListingPageHtml("h", offers, count));
        if (auto it = delayMs.find(page); it != delayMs.end()) reply.delayMs = it->second;
        return reply;
    }
};

std::vector<replica::SampleOffer> Offers(const std::string& tag, int count)
{
    std::vector<replica::SampleOffer> out;
    for (int i = 1; i <= count; ++i)
        out.push_back({i % 2 == 0, tag + std::to_string(i), std::to_string(i) + ".00", "1.0000", i});
    return out;
}

TEST_F(MonitorPageTest, TwoPagesOfThreeAndTwoOffersListFiveToOne)
{
    ChooseSampleServer();
    replica_.Server().ClearRequests();
    RunUnsoldQuery();

    // The listing address for the count, then pages 1 and 2.
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_THAT(requests[0].target, HasSubstr("-0-0-0-0-0-0-0-0.shtml"));
    EXPECT_THAT(requests[1].target, HasSubstr("-0-0-0-1.shtml"));
    EXPECT_THAT(requests[2].target, HasSubstr("-0-0-0-2.shtml"));
    for (const auto& r : requests) EXPECT_EQ(r.Path().rfind("/list/", 0), 0u) << r.target;

    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(Column(0), (TextArray{"5", "4", "3", "2", "1"}));
    // 5 and 4: the first and second offers of page 2; 3, 2, 1: page 1's in page order.
    EXPECT_THAT(rows[0][2], HasSubstr("担保 当面交易"));
    EXPECT_THAT(rows[1][2], HasSubstr("大额优惠"));
    EXPECT_THAT(rows[2][2], HasSubstr("即时到账"));
    EXPECT_THAT(rows[4][2], HasSubstr("寄售 自动发货"));
    EXPECT_EQ(Column(1), (TextArray{"保", "寄", "寄", "保", "寄"}));
    EXPECT_EQ(Column(3), TextArray(5, "游戏币"));
    EXPECT_EQ(Column(4), (TextArray{"118.00", "2,070.00", "425.00", "1,234.00", "96.00"}));
    EXPECT_EQ(Column(5)[2], "0.8500元/万金");
    EXPECT_THAT(rows[2][6], HasSubstr("/detail/JS801001.shtml"));

    // Statistics: totals without separators, unit prices up to 元.
    EXPECT_EQ(Column(0, "总合_隐1"), (TextArray{"96.00", "118.00", "425.00", "1234.00", "2070.00"}));
    EXPECT_EQ(Column(0, "单价_隐1"), (TextArray{"0.8500", "0.9600", "0.9872", "1.0350", "1.1800"}));
    EXPECT_EQ(Caption("标签_最低价1"), "96.00");
    EXPECT_EQ(Caption("标签_最高价1"), "2070.00");
    EXPECT_EQ(Caption("标签_最低单价1"), "0.8500");
    EXPECT_EQ(Caption("标签_最高单价1"), "1.1800");
    EXPECT_EQ(Caption("标签_平均单价1"), "1.002");  // 5.0122 / 5
    EXPECT_EQ(Caption("标签_交易总金额1"), "3943 元");
    EXPECT_EQ(Caption("标签_交易总金额"), "-");  // page 0's label stays page 0's
    const std::pair<const char*, const char*> captions[] = {{"标签18", "最低金额"},  {"标签19", "最高金额"},
                                                            {"标签20", "最低单价"},  {"标签21", "最高单价"},
                                                            {"标签22", "平均单价"},  {"标签30", "交易总金额"}};
    for (const auto& [name, text] : captions) EXPECT_EQ(Caption(name), text) << name;

    const ReplicaGame& game = SampleGame();
    const Text target = game.name + ">>" + game.areas[0].name + ">>" + game.areas[0].servers[0].name + ">>" +
                        game.goodsTypes[0].name;
    EXPECT_EQ(Caption("查询目标1"), target);
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    EXPECT_EQ(C("状态条1").PartText(0), ReplaceText(target, ">>", " >> "));
    EXPECT_EQ(C("状态条1").PartText(1), "查询完毕！");
    EXPECT_THAT(C("状态条1").PartText(2), HasSubstr("年"));
    // One wait of 1000 ms after each page.
    int pageWaits = 0;
    for (const auto& w : waits.Calls()) pageWaits += w.milliseconds == 1000;
    EXPECT_EQ(pageWaits, 2);
}

TEST_F(MonitorPageTest, PageRunsAreBoundedAndAFailedPageIsPassedOver)
{
    ChooseSampleServer();
    struct Case {
        const char* name;
        Listing listing;
        std::size_t rows;
        std::size_t pageRequests;
    } cases[] = {
        // A count far beyond the pages there are: three empty pages in a row end the run.
        {"huge count", {{Offers("a", 2), Offers("b", 1)}, 2147483647, {}, {}}, 3, 5},
        // A failed page in the middle costs its rows only.
        {"failed page", {{Offers("a", 2), Offers("b", 3), Offers("c", 1)}, -1, {}, {2}}, 3, 3},
        // No page count: no page.
        {"no count", {{Offers("a", 2)}, 0, {}, {}}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Listing listing = c.listing;
        SetOverride([listing](const LoopbackRequest& r) { return listing.Answer(r); });
        replica_.Server().ClearRequests();
        RunUnsoldQuery();
        EXPECT_EQ(Rows().size(), c.rows);
        EXPECT_EQ(ListingRequests(), c.pageRequests + 1);
        EXPECT_EQ(Caption("状态"), "查询完毕！");
    }
    // Nothing read: the labels are empty, the average too.
    EXPECT_EQ(Caption("标签_最低价1"), "");
    EXPECT_EQ(Caption("标签_平均单价1"), "");
    EXPECT_EQ(Caption("标签_交易总金额1"), "0 元");
}

// Pages of 999 offers (the most a reply's cutting gives) beyond what a list holds: the query keeps the
// first kMaxListRows offers, asks for no page after the one that fills the list, and ends as after
// its last page.
TEST_F(MonitorPageTest, AQueryStopsAtTheListCap)
{
    ChooseSampleServer();
    constexpr int kPerPage = kMaxRecordsPerPage - 1;
    const int pagesToFill = (kMaxListRows + kPerPage - 1) / kPerPage;
    Listing listing;
    listing.pages.assign(static_cast<std::size_t>(pagesToFill + 5), Offers("a", kPerPage));
    SetOverride([listing](const LoopbackRequest& r) { return listing.Answer(r); });
    replica_.Server().ClearRequests();
    Click("未交易信息");
    ASSERT_TRUE(PumpUntil([] { return !UnsoldQueryRunning(); }, 300000));
    PumpFor(20);
    EXPECT_EQ(C(kOffers).RowCount(), kMaxListRows);
    EXPECT_EQ(ListingRequests(), static_cast<std::size_t>(pagesToFill) + 1);
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    EXPECT_EQ(C("状态条1").PartText(1), "查询完毕！");
    EXPECT_EQ(Caption("标签_交易总金额1"), "32647800 元");  // 65 pages of 1 to 999 元, then 1 to 600
}

TEST_F(MonitorPageTest, AColumnClickBetweenPagesDoesNotChangeTheNumbering)
{
    ChooseSampleServer();
    Listing listing{{Offers("a", 3), Offers("b", 2)}, -1, {{2, 800}}, {}};
    SetOverride([listing](const LoopbackRequest& r) { return listing.Answer(r); });
    Click("未交易信息");
    ASSERT_TRUE(PumpUntil([&] { return Rows().size() == 3; }, 10000));
    EventArgs args;
    args.column = 0;
    form.Raise(kOffers, Event::ColumnClick, args);  // ascending: 1, 2, 3
    ASSERT_EQ(Column(0), (TextArray{"1", "2", "3"}));
    ASSERT_TRUE(PumpUntil([] { return !UnsoldQueryRunning(); }, 10000));
    EXPECT_EQ(Column(0), (TextArray{"5", "4", "1", "2", "3"}));
}

TEST_F(MonitorPageTest, TheQueryAsksForEveryPickAndRefusesWhileTheMonitorRuns)
{
    const char* const messages[] = {"请选择您要查询的游戏名！", "请选择您要查询的商品类型！",
                                    "请选择您要查询的游戏大区！", "请选择您要查询的游戏服务器！"};
    const char* const lists[] = {kGames, kTypes, kAreas, kServers};
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(missing);
        ChooseSampleServer();
        C(lists[missing]).SetSelection(-1);
        const std::size_t before = boxes.Calls().size();
        replica_.Server().ClearRequests();
        Click("未交易信息");
        PumpFor(50);
        const auto calls = boxes.Calls();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().text, messages[missing]);
        EXPECT_EQ(calls.back().title, "警告");
        EXPECT_EQ(calls.back().style, 0x30u);
        EXPECT_FALSE(UnsoldQueryRunning());
        EXPECT_EQ(Requests().size(), 0u);
    }

    ChooseSampleServer();
    C("超级按钮_监控").SetText("停止监控");
    Click("未交易信息");
    PumpFor(50);
    EXPECT_EQ(boxes.Calls().back().text, "正在监控订单中！");
    EXPECT_EQ(boxes.Calls().back().style, 0x30u);
    EXPECT_FALSE(UnsoldQueryRunning());
}

TEST_F(MonitorPageTest, ANewerWriterOfTheOfferListSupersedesAnOlderOne)
{
    ChooseSampleServer();
    // Query A's second page is slow; query B (a fast single page) starts meanwhile and keeps the list.
    Listing slow{{Offers("a", 3), Offers("b", 2)}, -1, {{2, 800}}, {}};
    SetOverride([slow](const LoopbackRequest& r) { return slow.Answer(r); });
    Click("未交易信息");
    ASSERT_TRUE(PumpUntil([&] { return Rows().size() == 3; }, 10000));
    Listing fast{{Offers("z", 1)}, -1, {}, {}};
    SetOverride([fast](const LoopbackRequest& r) { return fast.Answer(r); });
    Click("未交易信息");
    ASSERT_TRUE(PumpUntil([] { return !UnsoldQueryRunning(); }, 10000));
    EXPECT_EQ(Column(2), (TextArray{"z1"}));
    EXPECT_EQ(Caption("标签_最低价1"), "1.00");

    // A pick that empties the list takes it over from a running query as well.
    SetOverride([slow](const LoopbackRequest& r) { return slow.Answer(r); });
    Click("未交易信息");
    ASSERT_TRUE(PumpUntil([&] { return Rows().size() == 3; }, 10000));
    SetOverride({});
    Pick(kAreas, 0);
    ASSERT_TRUE(PumpUntil([] { return !UnsoldQueryRunning(); }, 10000));
    ASSERT_TRUE(WaitLoads());
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Caption("标签_最低价1"), "1.00");  // the older query's statistics never came
}

TEST_F(MonitorPageTest, ColumnClicksAlternateAndSortByTheColumnsKind)
{
    C(kOffers).SetRows({{"9", "寄", "b", "游戏币", "2.00", "0.5元/万金", "http://x/1"},
                        {"10", "保", "a", "游戏币", "1,234.00", "1.5元/万金", "http://x/2"},
                        {"1", "寄", "c", "游戏币", "30.00", "0.9元/万金", "http://x/3"}});
    EXPECT_EQ(Caption("透明标签_排序1"), "降");
    auto click = [&](int column) {
        EventArgs args;
        args.column = column;
        form.Raise(kOffers, Event::ColumnClick, args);
    };
    click(0);
    EXPECT_EQ(Column(0), (TextArray{"1", "9", "10"}));
    EXPECT_EQ(Caption("透明标签_排序1"), "升");
    click(0);
    EXPECT_EQ(Column(0), (TextArray{"10", "9", "1"}));
    EXPECT_EQ(Caption("透明标签_排序1"), "降");
    click(6);  // not sorted, the label still flips
    EXPECT_EQ(Column(0), (TextArray{"10", "9", "1"}));
    EXPECT_EQ(Caption("透明标签_排序1"), "升");
    click(2);  // descending by name
    EXPECT_EQ(Column(2), (TextArray{"c", "b", "a"}));
    click(5);  // ascending by unit price
    EXPECT_EQ(Column(5), (TextArray{"0.5元/万金", "0.9元/万金", "1.5元/万金"}));
    click(4);  // descending by price, thousands separators taken out
    EXPECT_EQ(Column(4), (TextArray{"1,234.00", "30.00", "2.00"}));
}

}  // namespace
}  // namespace monitor_test
