// SortListViewByKeys orders rows exactly as SortListViewByColumn orders a column holding the keys.
#include "export/export_support.h"
#include "helpers/listview_sort.h"
#include "helpers/listview_sort_keys.h"

#include <gtest/gtest.h>

using namespace export_test;

namespace {

Rows Read(const Control& list)
{
    Rows rows;
    for (int r = 0; r < list.RowCount(); ++r) rows.push_back(list.RowCells(r));
    return rows;
}

}  // namespace

TEST(SortByKeys, OrdersAsTheColumnSortWithEveryKindTieAndDirection)
{
    // Column 0 holds the keys; column 1 tells the rows apart.
    const Rows rows = {{"5", "a"},      {"1", "b"},   {"1", "c"},          {"假", "d"},      {"１２", "e"},
                       {"", "f"},       {"abc", "g"}, {"2015-3-7 9:05", "h"}, {"ABC", "i"}, {"1.00000005", "j"},
                       {"2015年3月7日9时5分", "k"},   {"假", "l"},          {"-3", "m"}};
    for (int kind : {0, 1, 2, 3, 7}) {
        for (bool ascending : {true, false}) {
            Form byColumn = LoadListWindow({{"键", 60}, {"行", 60}});
            Form byKeys = LoadListWindow({{"键", 60}, {"行", 60}});
            FillList(byColumn.Control("列表"), rows);
            FillList(byKeys.Control("列表"), rows);
            SortListViewByColumn(byColumn.Control("列表").Handle(), 0, kind, true, ascending);
            HWND list = byKeys.Control("列表").Handle();
            SortListViewByKeys(list, ListViewColumnTexts(list, 0), kind, true, ascending);
            EXPECT_EQ(Read(byKeys.Control("列表")), Read(byColumn.Control("列表"))) << kind << " " << ascending;
            byColumn.Destroy();
            byKeys.Destroy();
        }
    }
}

TEST(SortByKeys, KeysThatDoNotMatchTheRowsChangeNothing)
{
    Form form = LoadListWindow({{"键", 60}});
    FillList(form.Control("列表"), {{"2"}, {"1"}});
    HWND list = form.Control("列表").Handle();
    SortListViewByKeys(list, {"1"}, ListViewSortNumber);
    EXPECT_EQ(ListViewColumnTexts(list, 0), (TextArray{"2", "1"}));
    SortListViewByKeys(list, {"9", "1"}, ListViewSortNumber, true, true);
    EXPECT_EQ(ListViewColumnTexts(list, 0), (TextArray{"1", "2"})) << "the keys decide, not the cells";
    form.Destroy();
}
