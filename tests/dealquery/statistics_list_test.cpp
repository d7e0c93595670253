// The statistics list of page 1: adding, deleting, clearing with their confirmations, and the sort.
#include "deal_fixture.h"

#include "helpers/listview_sort.h"

#include <gmock/gmock.h>

namespace dealquery_test {
namespace {

using ::testing::ElementsAre;

class StatisticsListTest : public DealQueryTest {
protected:
    Control Table() const { return form.Control("统计列表"); }

    void ShowResult(const char* gameServer, const char* type, const char* count, const char* total)
    {
        Control list = List();
        list.ClearRows();
        const int row = list.AddRow("1");
        list.SetCell(row, 2, gameServer);
        list.SetCell(row, 3, type);
        form.Control("标签_最低价").SetText("10");
        form.Control("标签_最高价").SetText("1,280");
        form.Control("标签_最低单价").SetText("0.0215");
        form.Control("标签_最高单价").SetText("2");
        form.Control("标签_平均单价").SetText("1.667");
        form.Control("标签_交易笔数").SetText(count);
        form.Control("标签_交易总金额").SetText(total);
    }
};

TEST_F(StatisticsListTest, AddPutsTheNewestRowOnTopWithTheLabelsOfPageZero)
{
    ShowResult("问道/电信一区/紫禁城/无", "游戏币", "1234 笔", "5678.5 元");
    Click("加入统计");
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "你确定要将当前信息添加到成交量统计吗？");
    EXPECT_EQ(boxes.Calls()[0].title, "Dealvista 提醒您！");
    EXPECT_EQ(boxes.Calls()[0].style & MB_TYPEMASK, static_cast<unsigned>(MB_YESNO));
    ASSERT_EQ(Table().RowCount(), 1);
    const TextArray row = Table().RowCells(0);
    ASSERT_EQ(row.size(), 11u);
    EXPECT_THAT(TextArray(row.begin(), row.begin() + 10),
                ElementsAre("1", "问道/电信一区/紫禁城/无", "游戏币", "10", "1,280", "0.0215", "2", "1.667", "1234 ",
                            "5678.5 "));
    DateTime when = 0;
    EXPECT_TRUE(TextToDateTime(row[10], when)) << row[10];
    EXPECT_LT(std::abs(when - NowDateTime()), 1.0 / 24);

    ShowResult("梦幻西游/电信/长安城/无", "装备", "2 笔", "30 元");
    Click("加入统计");
    ShowResult("魔兽世界/一区/艾露恩/联盟", "游戏币", "3 笔", "40 元");
    Click("加入统计");
    ASSERT_EQ(Table().RowCount(), 3);
    EXPECT_EQ(Table().Cell(0, 0), "3");
    EXPECT_EQ(Table().Cell(0, 1), "魔兽世界/一区/艾露恩/联盟");
    EXPECT_EQ(Table().Cell(1, 0), "2");
    EXPECT_EQ(Table().Cell(2, 0), "1");
}

TEST_F(StatisticsListTest, NothingShownYetStillAddsARow)
{
    List().ClearRows();
    Click("加入统计");
    ASSERT_EQ(Table().RowCount(), 1);
    // The labels' start-up "-" carries no unit: the count and total columns take it whole, like the others.
    const TextArray row = Table().RowCells(0);
    EXPECT_THAT(TextArray(row.begin(), row.begin() + 10),
                ElementsAre("1", "", "", "-", "-", "-", "-", "-", "-", "-"));
}

TEST_F(StatisticsListTest, DeleteRemovesTheSelectedRowOnlyAndDoesNotRenumber)
{
    for (int i = 0; i < 3; ++i) Click("加入统计");
    Table().SetSelection(1);
    Click("按钮_删除单条");
    EXPECT_EQ(boxes.Calls().back().text, "你确定 删除当前选项数据吗？");
    EXPECT_EQ(boxes.Calls().back().title, "Dealvista 提醒您！");
    ASSERT_EQ(Table().RowCount(), 2);
    EXPECT_EQ(Table().Cell(0, 0), "3");
    EXPECT_EQ(Table().Cell(1, 0), "1");

    Table().SetSelection(-1);
    Click("按钮_删除单条");
    EXPECT_EQ(Table().RowCount(), 2);

    // The next row still counts the rows there are.
    Click("加入统计");
    EXPECT_EQ(Table().Cell(0, 0), "3");
}

TEST_F(StatisticsListTest, ClearEmptiesTheList)
{
    for (int i = 0; i < 3; ++i) Click("加入统计");
    Click("按钮_清空统计");
    EXPECT_EQ(boxes.Calls().back().text, "你确定 清空当前统计数据吗？");
    EXPECT_EQ(boxes.Calls().back().title, "Dealvista 提醒您！");
    EXPECT_EQ(Table().RowCount(), 0);
}

TEST_F(StatisticsListTest, AnsweringNoChangesNothing)
{
    for (int i = 0; i < 2; ++i) Click("加入统计");
    const TextArray before0 = Table().RowCells(0), before1 = Table().RowCells(1);
    Table().SetSelection(0);
    for (const char* button : {"加入统计", "按钮_删除单条", "按钮_清空统计"}) {
        boxes.Answer(IDNO);
        Click(button);
        EXPECT_EQ(Table().RowCount(), 2) << button;
    }
    EXPECT_EQ(Table().RowCells(0), before0);
    EXPECT_EQ(Table().RowCells(1), before1);
}

TEST_F(StatisticsListTest, EachColumnSortsAscendingByAKindThatFitsIt)
{
    const int kinds[] = {ListViewSortNumber, ListViewSortText,   ListViewSortText,   ListViewSortNumber,
                         ListViewSortNumber, ListViewSortNumber, ListViewSortNumber, ListViewSortNumber,
                         ListViewSortNumber, ListViewSortNumber, ListViewSortDateTime};
    for (int c = 0; c < 11; ++c) EXPECT_EQ(StatisticsColumnSortKind(c), kinds[c]) << c;

    // Rows with numbers that sort differently as texts, names in mixed letter case, times on several days.
    Control t = Table();
    const std::vector<TextArray> rows = {
        {"1", "zeta/一区", "游戏币", "9", "900", "0.5", "9", "5", "9 ", "900 ", "2015年1月7日9时5分9秒"},
        {"2", "Alpha/二区", "装备", "10", "1000", "0.25", "10", "6", "10 ", "1000 ", "2015年1月17日"},
        {"3", "beta/三区", "帐号", "100", "20", "3", "2", "0.75", "100 ", "20 ", "2014年12月31日23时"},
    };
    for (const TextArray& r : rows) t.InsertRowCells(-1, r);
    struct Sort {
        int column;
        std::vector<Text> order;  // 序号 of the rows from the top after the sort
    } sorts[] = {
        {3, {"1", "2", "3"}},  {4, {"3", "1", "2"}}, {5, {"2", "1", "3"}}, {8, {"1", "2", "3"}},
        {9, {"3", "1", "2"}},  {1, {"2", "3", "1"}}, {10, {"3", "1", "2"}}, {0, {"1", "2", "3"}},
    };
    for (const Sort& s : sorts) {
        SCOPED_TRACE(s.column);
        EventArgs a;
        a.column = s.column;
        form.Raise("统计列表", Event::ColumnClick, a);
        std::vector<Text> order;
        for (int r = 0; r < 3; ++r) order.push_back(t.Cell(r, 0));
        EXPECT_EQ(order, s.order);
        // A second click on the same column sorts ascending again.
        form.Raise("统计列表", Event::ColumnClick, a);
        EXPECT_EQ(t.Cell(0, 0), s.order[0]);
    }
}

}  // namespace
}  // namespace dealquery_test
