// The page formats of page 2: the pick-list blocks, the listing address, the offers and the monitor's
// numbers, as tables of the cases that matter.
#include "client/deal_query.h"
#include "client/listing_pages.h"
#include "client/page_bounds.h"
#include "client/pick_lists.h"
#include "replica/deal_pages.h"
#include "replica/listing_pages.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string Entry(const std::string& link, const std::string& name, const std::string& nameEnd)
{
    return "<dt><a href='" + link + "' title='" + name + nameEnd + name + "</a></dt>";
}

TEST(ListingChoices, EachLevelCutsItsBlockAndNameMarker)
{
    // n entries followed by the rest of the block: n + 1 pieces give n entries; a piece without its
    // markers keeps an empty name or link in step.
    const std::string types = "<div class=\"sing_filbox\"><b>商品类型：</b><dl>" + Entry("http://h/a.shtml", "游戏币", "'>") +
                              Entry("http://h/b.shtml", "装备", "'>") + "<dt>坏的</dt></dl></div><div class=\"sing_filbox\">" +
                              Entry("http://h/c.shtml", "价格", "'>");
    PickItems t = ParseGoodsTypeChoices(types);
    EXPECT_EQ(t.names, (TextArray{"游戏币", "装备", ""}));
    EXPECT_EQ(t.ids, (TextArray{"http://h/a.shtml", "http://h/b.shtml", ""}));
    EXPECT_TRUE(HasGoodsTypeBlock(types));

    const std::string ops = "运营商选择：<dl>" + Entry("http://h/o1.shtml", "37玩", "' >") +
                            Entry("http://h/o2.shtml", "4399", "' >") + "</dl><div class=\"tab_v1_1 v2\">" +
                            Entry("http://h/x.shtml", "后面", "' >");
    PickItems o = ParseOperatorChoices(ops);
    EXPECT_EQ(o.names, (TextArray{"37玩", "4399"}));
    EXPECT_EQ(o.ids, (TextArray{"http://h/o1.shtml", "http://h/o2.shtml"}));
    EXPECT_TRUE(OffersOperatorChoice(ops));

    // Areas end their names at "' >", servers at the next "'"; both blocks end at "nofound".
    const std::string page = "游戏区选择：<dl>" + Entry("http://h/a1.shtml", "电信一区", "' >") +
                             "</dl><div class=\"nofound\"></div>按服务器选择：<dl>" +
                             Entry("http://h/s1.shtml", "紫禁之巅", "'>") + Entry("http://h/s2.shtml", "长安城", "' >") +
                             "</dl><div class=\"nofound\">";
    EXPECT_EQ(ParseAreaChoices(page).names, (TextArray{"电信一区"}));
    PickItems s = ParseServerChoices(page);
    EXPECT_EQ(s.names, (TextArray{"紫禁之巅", "长安城"}));
    EXPECT_EQ(s.ids, (TextArray{"http://h/s1.shtml", "http://h/s2.shtml"}));
    EXPECT_FALSE(OffersOperatorChoice(page));

    // No block: no entries, and no goods-type block at all for a game without goods.
    for (const char* bare : {"", "<html>维护中</html>", "sing_filbox only once"}) {
        EXPECT_TRUE(ParseGoodsTypeChoices(bare).names.empty()) << bare;
        EXPECT_TRUE(ParseServerChoices(bare).names.empty()) << bare;
        EXPECT_FALSE(HasGoodsTypeBlock(bare)) << bare;
    }
    // A block that ends right at its last "</dt>" still gives every entry.
    EXPECT_EQ(ParseAreaChoices("游戏区选择：" + Entry("l", "甲", "' >") + "nofound").names, (TextArray{"甲"}));
}

TEST(ListingAddress, ListHostAndPageAddresses)
{
    SetEnvironmentVariableA("QUOVANTA_LISTING_HOST", "s.test:8080");
    const Text link = "http://s.test:8080/g1-t2-0-a3-s4-0-0-0-0-0-0-0-0.shtml";
    const Text listing = ListingAddressOf(link);
    EXPECT_EQ(listing, "http://s.test:8080/list/g1-t2-0-a3-s4-0-0-0-0-0-0-0-0.shtml");
    EXPECT_EQ(ListingPageAddress(listing, 1), "s.test:8080/list/g1-t2-0-a3-s4-0-0-0-1.shtml");
    EXPECT_EQ(ListingPageAddress(listing, 12), "s.test:8080/list/g1-t2-0-a3-s4-0-0-0-12.shtml");
    // Another host is left as it is (exact, case-sensitive replacement).
    EXPECT_EQ(ListingAddressOf("http://S.TEST:8080/x.shtml"), "http://S.TEST:8080/x.shtml");
    EXPECT_EQ(ListingSearchPageUrl("abc"), "http://s.test:8080/search/abc.shtml");
    SetEnvironmentVariableA("QUOVANTA_LISTING_HOST", nullptr);

    EXPECT_EQ(ListingPageCount("onclick=\"if(ANP_checkInput('pager_txtid',7)){}"), 7);
    EXPECT_EQ(ListingPageCount("no pager"), 0);
    EXPECT_EQ(ListingPageCount("ANP_checkInput('pager_txtid',x)"), 0);
}

TEST(ListingOffers, PiecesModesPricesAndNumbering)
{
    std::vector<replica::SampleOffer> sample = {
        {true, "甲", "1,234.00", "0.9872", 1},
        {false, "乙", "96.00", "0.9600", 2},
    };
    const std::string page = replica::ListingPageHtml("h", sample, 1);
    std::vector<Offer> offers = ParseOffers(page);
    ASSERT_EQ(offers.size(), 2u);
    EXPECT_EQ(offers[0].mode, "寄");
    EXPECT_EQ(offers[1].mode, "保");
    EXPECT_EQ(offers[0].name, "甲");
    EXPECT_EQ(offers[0].price, "1,234.00");
    EXPECT_EQ(offers[0].totalNumber, "1234.00");
    EXPECT_EQ(offers[0].unitPrice, "0.9872元/万金");
    EXPECT_EQ(offers[0].unitNumber, "0.9872");
    EXPECT_EQ(offers[0].address, "http://h/detail/JS1.shtml");
    EXPECT_EQ(offers[1].address, "http://h/detail/DB2.shtml");

    // The block cut at each "<span>立即购买</span></a>": every piece before a cut is an offer, also when
    // the block ends right at the last cut (the last offer is not dropped); none without the block.
    const std::string sep = "<span>立即购买</span></a>";
    struct Case {
        std::string block;
        std::size_t offers;
    } cases[] = {
        {"平均发货时间 a" + sep + " b" + sep + " rest<div class=\"pagination\">", 2},
        {"平均发货时间 a" + sep + " b" + sep + "<div class=\"pagination\">", 2},
        {"平均发货时间 nothing on sale<div class=\"pagination\">", 0},
        {"no block at all" + sep, 0},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseOffers(c.block).size(), c.offers) << c.block;

    // "detail/JS" counts only after the piece's first byte.
    const std::string blockStart = "平均发货时间";
    EXPECT_EQ(ParseOffers(blockStart + "detail/JS1" + sep + "<div class=\"pagination\">")[0].mode, "保");
    EXPECT_EQ(ParseOffers(blockStart + " detail/JS1" + sep + "<div class=\"pagination\">")[0].mode, "寄");
    EXPECT_EQ(ParseOffers(blockStart + " detail/js1" + sep + "<div class=\"pagination\">")[0].mode, "保");

    // One page of three on top of 5 offers read before: 序号 8, 7, 6, the first offer first.
    std::vector<Offer> three(3);
    three[0].name = "一";
    three[2].name = "三";
    const std::vector<TextArray> rows = OfferRows(three, 5, "游戏币");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (TextArray{"8", "", "一", "游戏币", "", "", ""}));
    EXPECT_EQ(rows[2][0], "6");
    EXPECT_EQ(rows[2][2], "三");
}

TEST(MonitorNumbers, BoundsAreStrictWithinOneTenMillionth)
{
    EXPECT_EQ(TotalPriceNumber("1,234.00"), 1234);
    EXPECT_EQ(TotalPriceNumber("１２,３４5元"), 12345);  // full-width digits count as theirs
    EXPECT_EQ(UnitPriceNumber("12.5</em>"), 12.5);
    EXPECT_EQ(UnitPriceNumber(""), 0);

    const MonitorBounds start = BoundsFromTexts("", "0", "10000", "0");
    struct Case {
        const char* name;
        MonitorBounds b;
        double unit, total;
        bool inside;
    } cases[] = {
        {"inside", BoundsFromTexts("1", "0", "10000", "0"), 0.85, 425, true},
        {"unit equal to the upper bound", BoundsFromTexts("0.85", "0", "10000", "0"), 0.85, 425, false},
        {"unit within 1e-7 below the bound", BoundsFromTexts("0.85000009", "0", "10000", "0"), 0.85, 425, false},
        {"unit 2e-7 below the bound", BoundsFromTexts("0.8500002", "0", "10000", "0"), 0.85, 425, true},
        {"unit equal to the lower bound", BoundsFromTexts("1", "0.85", "10000", "0"), 0.85, 425, false},
        {"total equal to the upper bound", BoundsFromTexts("1", "0", "1234", "0"), 0.98, TotalPriceNumber("1,234.00"), false},
        {"total below the upper bound", BoundsFromTexts("1", "0", "1234.01", "0"), 0.98, TotalPriceNumber("1,234.00"), true},
        {"total equal to the lower bound", BoundsFromTexts("1", "0", "10000", "425"), 0.85, 425, false},
        {"the start values", start, 0.85, 425, false},
        {"the start values, a free offer", start, 0, 0, false},
        {"the rest of a block (0 and 0), lower bounds negative", BoundsFromTexts("1", "-1", "10", "-1"), 0, 0, true},
    };
    for (const Case& c : cases) EXPECT_EQ(InsideBounds(c.unit, c.total, c.b), c.inside) << c.name;
}

TEST(MonitorNumbers, IntervalTable)
{
    EXPECT_EQ(MonitorIntervalItems(), (TextArray{"间隔 5 秒监控", "间隔 10 秒监控", "间隔 15 秒监控", "间隔 20 秒监控",
                                                 "间隔 30 秒监控", "间隔 300 秒监控", "间隔 600 秒监控"}));
    struct Case {
        const char* item;
        int ms;
    } cases[] = {{"间隔 5 秒监控", 5000},     {"间隔 30 秒监控", 30000}, {"间隔 60 秒监控", 60000},
                 {"间隔 600 秒监控", 600000}, {"间隔 5秒监控", 0},       {"", 0}};
    for (const Case& c : cases) EXPECT_EQ(MonitorIntervalMs(c.item), c.ms) << c.item;
}

}  // namespace

// A reply that holds far more records than any page of the platform is cut at kMaxRecordsPerPage: the
// program neither runs out of memory nor holds its window while it writes them.
TEST(PageRecords, AReplyOfThousandsOfRecordsGivesAtMostOnePagesWorth)
{
    std::vector<replica::SampleOffer> offers;
    std::vector<replica::SampleDeal> deals;
    std::string areas = "callarea([";
    for (int i = 0; i < 2500; ++i) {
        offers.push_back({i % 2 == 0, "甲" + std::to_string(i), "10.00", "0.5000", i});
        deals.push_back(replica::MakeSampleDeal(i, "问道", "游戏币"));
        areas += "{id:'" + std::to_string(i) + "',name:'区" + std::to_string(i) + "'},";
    }
    areas += "])";
    const std::size_t most = static_cast<std::size_t>(kMaxRecordsPerPage);
    const std::vector<Offer> cut = ParseOffers(replica::ListingPageHtml("h", offers, 1));
    ASSERT_EQ(cut.size(), most - 1);  // the last piece taken is the rest of the block, not an offer
    EXPECT_EQ(cut.back().name, "甲" + std::to_string(most - 2));
    const TextArray records = SplitDealRecords(replica::DealListPageHtml(deals, 1, 1, "2500"));
    ASSERT_EQ(records.size(), most);
    EXPECT_EQ(ParseDealRecord(records.back()).name, deals[most - 1].name);
    EXPECT_EQ(ParseAreasReply(areas).names.size(), most);
}
