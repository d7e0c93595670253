// The date query over the saved result of the last complete deal query.
#include "deal_fixture.h"

#include <gmock/gmock.h>

namespace dealquery_test {
namespace {

TEST(DateKeyRule, MonthAndDayOfTheCellMustBeExactlyThoseOfTheKey)
{
    struct Case {
        const char* time;
        const char* key;
        bool match;
    } cases[] = {
        {"15-01-07 09:30:00", "1-07", true},    // the key's month has no leading zero, the cell's has
        {"15-11-07 09:30:00", "1-07", false},   // November is not January
        {"15-12-07 09:30:00", "2-07", false},
        {"15-02-07 00:00:00", "2-07", true},
        {"15-03-05 12:00:00", "3-05", true},
        {"15-03-15 12:00:00", "3-15", true},
        {"15-03-15 12:00:00", "3-05", false},
        {"15-03-05 12:00:00", "3-15", false},
        {"15-12-25 23:59:59", "12-25", true},
        {"15-01-07", "1-07", true},             // no time part
        {"07-01-15 01:07:00", "1-07", false},   // the time's 01:07 is no date
        {"", "1-07", false},
        {"15-01-07 09:30:00", "", false},
        {"15-01-07 09:30:00", "1-7x", false},
        {"成交时间未知", "1-07", false},
        {"15-01-x7 09:30:00", "1-07", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DealTimeMatchesDateKey(c.time, c.key), c.match) << c.time << " / " << c.key;
}

class DateQueryTest : public DealQueryTest {
protected:
    // 80 saved deals: every fifth of the first 60 on 7 January (12 of them), the others on 7 November,
    // 17 January and 6 January.
    void SaveEightyDeals()
    {
        GamePages g;
        g.pages.emplace_back();
        const char* others[] = {"2015-11-07 10:00:00", "2015-01-17 10:00:00", "2015-01-06 10:00:00"};
        for (int i = 0; i < 80; ++i) {
            const bool day = i < 60 && i % 5 == 0;
            g.pages[0].push_back(Deal(std::to_string(i), std::to_string(i + 1) + "00", std::to_string(i + 1) + "元",
                                      day ? "2015-01-07 08:00:00" : others[i % 3]));
        }
        ServeGame("80", g);
        Choose("80", "问道", "电信一区", "1", "紫禁城", "2", "游戏币", "3");
        RunQuery();
        ASSERT_EQ(List().RowCount(), 80);
    }
};

TEST_F(DateQueryTest, KeepsTheSavedDealsOfTheDayWithTheirNumbersAndStatistics)
{
    SaveEightyDeals();
    DateKey = "1-07";
    Click("按钮_查询指定日期");
    Control list = List();
    ASSERT_EQ(list.RowCount(), 12);
    // Saved order, saved 序号: the page's first deal (序号 80) is on top.
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(list.Cell(k, 0), std::to_string(80 - 5 * k));
        EXPECT_EQ(list.Cell(k, 1), "商品" + std::to_string(5 * k));
        EXPECT_EQ(list.Cell(k, 6), "15-01-07 08:00:00");
    }
    // Prices 100, 600, ..., 5600; unit prices 1, 6, ..., 56.
    EXPECT_EQ(Caption("标签_交易笔数"), "12 笔");
    EXPECT_EQ(Caption("标签_交易总金额"), "34200 元");
    EXPECT_EQ(Caption("标签_最低价"), "100");
    EXPECT_EQ(Caption("标签_最高价"), "5600");
    EXPECT_EQ(Caption("标签_最低单价"), "1");
    EXPECT_EQ(Caption("标签_最高单价"), "56");
    EXPECT_EQ(Caption("标签_平均单价"), "28.5");
    EXPECT_EQ(Caption("状态"), "查询完毕！");
    Control bar = form.Control("状态条1");
    EXPECT_EQ(bar.PartText(0), "问道 >> 电信一区 >> 紫禁城 >> 游戏币   12 笔 定单     统计交易额为：  34200  元");
    EXPECT_EQ(bar.PartText(1), "查询完毕！");
    EXPECT_EQ(List("总合_隐3").RowCount(), 12);
    EXPECT_EQ(List("总合_隐3").Cell(11, 0), "5600");
    EXPECT_EQ(List("单价_隐3").Cell(0, 0), "1");

    // The saved result and the flags are untouched; the restore button brings all 80 back.
    EXPECT_EQ(List("成交信息复制").RowCount(), 80);
    EXPECT_EQ(DealResultsSaved.load(), 1);
    Click("按钮_恢复查询数据");
    EXPECT_EQ(List().RowCount(), 80);
    EXPECT_EQ(Caption("标签_交易笔数"), "80 笔");
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(DateQueryTest, EachDateQueryFiltersTheWholeSavedCopy)
{
    SaveEightyDeals();
    struct Day {
        const char* key;
        int rows;
    } days[] = {{"1-07", 12}, {"11-07", 23}, {"1-17", 23}, {"1-06", 22}, {"1-07", 12}};
    for (const Day& d : days) {
        SCOPED_TRACE(d.key);
        DateKey = d.key;
        Click("按钮_查询指定日期");
        EXPECT_EQ(List().RowCount(), d.rows);
        EXPECT_EQ(Caption("标签_交易笔数"), std::to_string(d.rows) + " 笔");
    }
    EXPECT_TRUE(boxes.Calls().empty());
}

TEST_F(DateQueryTest, NoMatchingDealShowsTheMessageAndKeepsTheLabels)
{
    SaveEightyDeals();
    const Text summary = form.Control("状态条1").PartText(0);
    DateKey = "3-05";
    Click("按钮_查询指定日期");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "无法查询到当前日期交易量！");
    EXPECT_EQ(boxes.Calls()[0].title, "警告");
    EXPECT_EQ(List().RowCount(), 0);
    EXPECT_EQ(Caption("标签_交易笔数"), "80 笔");
    EXPECT_EQ(form.Control("状态条1").PartText(0), summary);
    EXPECT_EQ(form.Control("状态条1").PartText(1), "查询中...");
}

TEST_F(DateQueryTest, BeforeAnyCompleteQueryNothingIsFound)
{
    Click("按钮_查询指定日期");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "无法查询到当前日期交易量！");
    EXPECT_EQ(Caption("标签_交易笔数"), "-");
}

TEST_F(DateQueryTest, WaitsWhileADealQueryFillsTheList)
{
    SaveEightyDeals();
    GamePages slow;
    slow.pages = {Deals("慢", 3), Deals("慢二", 3)};
    slow.delayMs = 500;
    ServeGame("81", slow);
    Choose("81", "慢游戏");
    server.ClearRequests();
    HANDLE worker = StartWorkerKept([f = form] { QueryLatestDeals(f); });
    ASSERT_TRUE(WaitForRequests(1, 5000));
    Click("按钮_查询指定日期");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "请等成交信息获取完毕后再查找！");
    ASSERT_TRUE(WaitHandlePumping(worker, 30000));
    CloseHandle(worker);
    // The query's own result stands, whole.
    EXPECT_EQ(List().RowCount(), 6);
    EXPECT_EQ(List("成交信息复制").RowCount(), 6);
    EXPECT_EQ(List().Cell(0, 1), "商品慢二1");
}

}  // namespace
}  // namespace dealquery_test
