// SortListViewByKeys orders rows exactly as SortListViewByColumn orders a column holding the keys.
#include "helpers/listview_sort.h"
#include "runtime/forms.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<TextArray>;

Form LoadListWindow(int columns)
{
    std::vector<ColumnSpec> spec;
    for (int k = 0; k < columns; ++k) spec.push_back({"列" + std::to_string(k + 1), 60});
    WindowLayout w{"按键排序", {40, 40, 400, 300}, true, {}};
    w.Add(ui::ListView("列表", {5, 5, 380, 250}, spec));
    return LoadForm(w);
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
            Form byColumn = LoadListWindow(2), byKeys = LoadListWindow(2);
            byColumn.Control("列表").SetRows(rows);
            byKeys.Control("列表").SetRows(rows);
            SortListViewByColumn(byColumn.Control("列表").Handle(), 0, kind, true, ascending);
            HWND list = byKeys.Control("列表").Handle();
            SortListViewByKeys(list, ListViewColumnTexts(list, 0), kind, true, ascending);
            EXPECT_EQ(byKeys.Control("列表").AllRows(), byColumn.Control("列表").AllRows()) << kind << " " << ascending;
            byColumn.Destroy();
            byKeys.Destroy();
        }
    }
}

TEST(SortByKeys, KeysThatDoNotMatchTheRowsChangeNothing)
{
    Form form = LoadListWindow(1);
    form.Control("列表").SetRows({{"2"}, {"1"}});
    HWND list = form.Control("列表").Handle();
    SortListViewByKeys(list, {"1"}, ListViewSortNumber);
    EXPECT_EQ(ListViewColumnTexts(list, 0), (TextArray{"2", "1"}));
    SortListViewByKeys(list, {"9", "1"}, ListViewSortNumber, true, true);
    EXPECT_EQ(ListViewColumnTexts(list, 0), (TextArray{"1", "2"})) << "the keys decide, not the cells";
    form.Destroy();
}
