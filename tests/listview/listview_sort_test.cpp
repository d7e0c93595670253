#include <gtest/gtest.h>

#include <cmath>

#include "helpers/listview_sort.h"
#include "listview/listview_fixture.h"

using listview_test::ListViewWindow;
using listview_test::Rows;

namespace {

constexpr double kEarliest = -657434.0;  // 1 January 100
constexpr double k20150307 = 42070.0;    // 7 March 2015, midnight

TEST(ListViewSortReading, Numbers)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"12", 12},          {"  -3.5x", -3.5},   {"+7", 7},         {"12元", 12},
        {"１２", 12},        {"－５．５", -5.5},  {"　７", 7},       {".5", 0.5},
        {"5.", 5},           {"1.5e2", 150},      {"1.5D2", 150},    {"2d-1", 0.2},
        {"３ｅ２", 300},     {"1e", 1},           {"1e+", 1},        {"1,000", 1},
        {"abc", 0},          {"", 0},             {"-", 0},          {".", 0},
        {"- 5", 0},          {"元12", 0},         {"1e-400", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ListViewSortNumberOf(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(ListViewSortNumberOf("1e400")));
}

TEST(ListViewSortReading, DateTimes)
{
    const double t0905 = k20150307 + (9 * 60 + 5) / 1440.0;
    const double t090509 = k20150307 + (9 * 3600 + 5 * 60 + 9) / 86400.0;
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"2015-03-07", k20150307},
        {"2015-3-7", k20150307},
        {"2015-3-7 9:05", t0905},
        {"2015年3月7日9时5分", t0905},
        {"2015/3/7 9:05:09", t090509},
        {"2015.3.7.9.5.9秒", t090509},
        {"2015年3月7日9时5分9秒", t090509},
        {"２０１５－３－７", k20150307},
        {"2016-2-29", k20150307 + 359},
        {"100-1-1", kEarliest},
        {"9999-12-31 23:59:59", 2958465 + 86399 / 86400.0},
        {"", kEarliest},
        {"abc", kEarliest},
        {"2015年3月7日 9时5分", kEarliest},  // a blank after 日 is not allowed
        {"2015-2-29", kEarliest},
        {"2015-13-1", kEarliest},
        {"2015-3-7 24:00", kEarliest},
        {"2015-3-7 9:60", kEarliest},
        {"2015-3-7 9:05:09x", kEarliest},
        {"2015-3-7 9:05:09秒x", kEarliest},
        {"2015", kEarliest},
        {"99-1-1", kEarliest},
        {" 2015-3-7", kEarliest},
    };
    for (const auto& c : cases) EXPECT_NEAR(ListViewSortDateTimeOf(c.text), c.value, 1e-9) << c.text;
    // Before 30 December 1899 the key still grows with the time of day.
    EXPECT_LT(ListViewSortDateTimeOf("1800-1-1 6:00"), ListViewSortDateTimeOf("1800-1-1 18:00"));
    EXPECT_LT(ListViewSortDateTimeOf("1899-12-29 18:00"), ListViewSortDateTimeOf("1899-12-30 1:00"));
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(ListViewSortReading, TextComparison)
{
    const struct {
        const char* a;
        const char* b;
        bool caseSensitive;
        int sign;
    } cases[] = {
        {"abc", "ABC", false, 0},   {"ABC", "abc", true, -1},  {"a", "ab", true, -1},
        {"", "", true, 0},          {"", "a", false, -1},      {"中", "z", true, 1},
        {"中国", "中国", true, 0},  {"中", "国", true, 1},      // D6D0 after B9FA
        {"ａ", "Ａ", false, 0},     {"ａ", "Ａ", true, 1},      // full-width letters
        {"α", "Α", false, 0},       {"б", "Б", false, 0},      // Greek and Cyrillic
        {"_", "A", false, -1},      {"_", "A", true, 1},       // letters fold to lower case
        {"\x80", "a", true, 1},     {"\xFF", "\x81\x40", true, -1},  // a double-byte character is one unit
        {"a\xB0", "a", true, 1},    // a lone lead byte at the end counts as a byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sign(ListViewSortCompareText(c.a, c.b, c.caseSensitive)), c.sign)
            << c.a << " / " << c.b << " " << c.caseSensitive;
}

TEST(ListViewSortInsertPosition, TiesAndSearch)
{
    const struct {
        TextArray keys;
        const char* key;
        int kind;
        bool caseSensitive;
        int position;
    } cases[] = {
        {{}, "1", ListViewSortNumber, true, 1},
        {{"5"}, "5", ListViewSortNumber, true, 2},                 // a single tie goes after
        {{"5"}, "4", ListViewSortNumber, true, 1},
        {{"1", "5"}, "1", ListViewSortNumber, true, 1},            // tie with the first: before it
        {{"1", "5"}, "5.00000001", ListViewSortNumber, true, 3},   // tie with the last: after it
        {{"1", "5"}, "3", ListViewSortNumber, true, 2},
        {{"1", "3", "5"}, "3", ListViewSortNumber, true, 3},
        {{"1", "2", "2", "2", "9"}, "2", ListViewSortNumber, true, 4},  // after the probed key, not the last tie
        {{"1", "2", "3", "4", "5", "6", "7"}, "4.5", ListViewSortNumber, true, 5},
        {{"1", "2", "3", "4", "5", "6", "7"}, "1.5", ListViewSortNumber, true, 2},
        {{"元3", "１"}, "0.5", ListViewSortNumber, true, 2},          // the keys read as 0 and 1
        {{"a", "c"}, "B", ListViewSortText, false, 2},
        {{"a", "c"}, "B", ListViewSortText, true, 1},
        {{"a", "c"}, "B", 7, true, 1},                               // other kinds compare as text
        {{"", "2015-3-7"}, "2015-3-6", ListViewSortDateTime, true, 2},
        {{"", "2015-3-7"}, "bad", ListViewSortDateTime, true, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindSortedInsertPosition(c.keys, c.key, c.kind, c.caseSensitive), c.position) << c.key;
}

// Sorts a two-column list (the key, then the source row number) and gives the new order of the
// source rows.
std::vector<int> SortedOrder(const std::vector<std::string>& keys, int kind, bool caseSensitive, bool ascending)
{
    ListViewWindow view(2);
    for (std::size_t r = 0; r < keys.size(); ++r) view.AddRow({keys[r], std::to_string(r)});
    EXPECT_GE(SortListViewByColumn(view.list(), 0, kind, caseSensitive, ascending), 0);
    std::vector<int> order;
    for (const auto& row : view.AllRows()) {
        order.push_back(std::stoi(row[1]));
        EXPECT_EQ(row[0], keys[order.back()]);
    }
    return order;
}

TEST(ListViewSort, OrdersByKind)
{
    const struct {
        std::vector<std::string> keys;
        int kind;
        bool caseSensitive;
        std::vector<int> ascending;
    } cases[] = {
        {{"5", "1", "1"}, ListViewSortNumber, true, {2, 1, 0}},
        {{"7", "7", "7", "7"}, ListViewSortNumber, true, {0, 1, 2, 3}},
        {{"10", "9", "-1", "abc"}, ListViewSortNumber, true, {2, 3, 1, 0}},
        {{"1", "1.00000005", "0.9"}, ListViewSortNumber, true, {2, 0, 1}},
        {{"b", "ABC", "abc", "a"}, ListViewSortText, false, {3, 2, 1, 0}},
        {{"b", "ABC", "abc", "a"}, ListViewSortText, true, {1, 3, 2, 0}},
        {{"b", "a", "B"}, 7, true, {2, 1, 0}},  // as text; as numbers all three are 0
        {{"b", "a", "B"}, -1, true, {2, 1, 0}},
        {{"乙", "甲", "a"}, ListViewSortText, true, {2, 1, 0}},  // by GBK code: a, 甲 (BCD7), 乙 (D2D2)
        {{"2015-3-8", "", "2015-3-7 9:05", "bad", "2015年3月7日9时5分"}, ListViewSortDateTime, true, {3, 1, 2, 4, 0}},
        {{"假", "真", "假", "x"}, ListViewSortLogical, true, {3, 1, 0, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys[0] + " kind " + std::to_string(c.kind));
        EXPECT_EQ(SortedOrder(c.keys, c.kind, c.caseSensitive, true), c.ascending);
        // Descending is the exact reverse of ascending.
        std::vector<int> reversed(c.ascending.rbegin(), c.ascending.rend());
        EXPECT_EQ(SortedOrder(c.keys, c.kind, c.caseSensitive, false), reversed);
    }
}

// The order the sort must give, built as its steps say: every row's text inserted into a key list at
// the position FindSortedInsertPosition gives, its row number into the order list at the same place.
std::vector<int> OrderByInsertion(const std::vector<std::string>& keys, int kind, bool caseSensitive)
{
    TextArray keyList;
    std::vector<int> order;
    for (std::size_t r = 0; r < keys.size(); ++r) {
        const int p = FindSortedInsertPosition(keyList, keys[r], kind, caseSensitive);
        keyList.insert(keyList.begin() + (p - 1), keys[r]);
        order.insert(order.begin() + (p - 1), static_cast<int>(r));
    }
    return order;
}

TEST(ListViewSort, SameOrderAsInsertionIntoTheKeyList)
{
    // Many ties, and texts that read alike but differ (so a tie in the search lands mid-run).
    const char* numbers[] = {"1", "1.0", "１", "2", "2元", "-1", "abc", "", "1.00000005", "3e0", "0.5", "2d0"};
    const char* texts[] = {"a", "A", "b", "B", "甲", "乙", "ａ", "Ａ", "", "ab", "aB", "Ab"};
    const char* dates[] = {"2015-3-7", "2015年3月7日", "2015-3-7 9:05", "2015年3月7日9时5分", "", "bad",
                           "2015-2-29", "2014-12-31 23:59:59", "2015-03-07 00:00:00", "1800-1-1 6:00",
                           "1800-1-1 18:00", "2015.3.8"};
    const struct {
        const char* const* pool;
        int kind;
        bool caseSensitive;
    } cases[] = {{numbers, ListViewSortNumber, true}, {texts, ListViewSortText, true},
                 {texts, ListViewSortText, false},   {dates, ListViewSortDateTime, true}};
    unsigned seed = 17;
    for (const auto& c : cases) {
        for (int round = 0; round < 4; ++round) {
            std::vector<std::string> keys;
            for (int r = 0; r < 60; ++r) {
                seed = seed * 1103515245u + 12345u;
                keys.push_back(c.pool[(seed >> 16) % 12]);
            }
            SCOPED_TRACE("kind " + std::to_string(c.kind) + " round " + std::to_string(round));
            const std::vector<int> expected = OrderByInsertion(keys, c.kind, c.caseSensitive);
            EXPECT_EQ(SortedOrder(keys, c.kind, c.caseSensitive, true), expected);
            EXPECT_EQ(SortedOrder(keys, c.kind, c.caseSensitive, false),
                      std::vector<int>(expected.rbegin(), expected.rend()));
        }
    }
}

TEST(ListViewSort, EmptyListReadsAndWritesNothing)
{
    ListViewWindow view(3);
    view.ResetCounts();
    const int elapsed = SortListViewByColumn(view.list(), 0);
    EXPECT_GE(elapsed, 0);
    EXPECT_LT(elapsed, 1000);
    EXPECT_EQ(view.Received(LVM_GETITEMTEXTA), 0);
    EXPECT_EQ(view.Received(LVM_SETITEMTEXTA), 0);
    EXPECT_EQ(view.RowCount(), 0);
}

TEST(ListViewSort, OneRowIsWrittenBackUnchanged)
{
    ListViewWindow view(3);
    view.AddRow({"甲", "", "3"});
    view.ResetCounts();
    SortListViewByColumn(view.list(), 2, ListViewSortNumber, true, false);
    EXPECT_EQ(view.AllRows(), (Rows{{"甲", "", "3"}}));
    EXPECT_EQ(view.Received(LVM_SETITEMTEXTA), 3);  // every cell is rewritten
}

TEST(ListViewSort, MovesOnlyTextsAndKeepsLongCellsWhole)
{
    ListViewWindow view(3);
    std::string longText;
    for (int i = 0; i < 3000; ++i) longText += (i % 3 ? "价" : "x");  // 6000 bytes, double-byte mixed
    view.AddRow({"b", longText, "2"}, 100);
    view.AddRow({"a", "短", "1"}, 200);
    view.AddRow({"c", "", "3"}, 300);
    SortListViewByColumn(view.list(), 2);
    EXPECT_EQ(view.AllRows(), (Rows{{"a", "短", "1"}, {"b", longText, "2"}, {"c", "", "3"}}));
    // Item data belongs to the positions: only cell texts move.
    EXPECT_EQ(view.ItemData(0), 100);
    EXPECT_EQ(view.ItemData(1), 200);
    EXPECT_EQ(view.ItemData(2), 300);
}

TEST(ListViewSort, FromAWorkerThread)
{
    ListViewWindow view(2);
    for (int r = 0; r < 50; ++r) view.AddRow({std::to_string((r * 37) % 50), "行" + std::to_string(r)});
    int elapsed = -1;
    listview_test::RunOnWorker([&] { elapsed = SortListViewByColumn(view.list(), 0, ListViewSortNumber, true, true); });
    EXPECT_GE(elapsed, 0);
    for (int r = 0; r < 50; ++r) {
        EXPECT_EQ(view.Cell(r, 0), std::to_string(r));
        EXPECT_EQ(view.Cell(r, 1), "行" + std::to_string((r * 23) % 50));  // 23 = 37^-1 mod 50
    }
}

TEST(ListViewAppendRows, CopiesFollowExistingRows)
{
    ListViewWindow source(3), destination(3);
    source.AddRows({{"1", "甲", "x"}, {"2", "", "y"}, {"3", "丙", ""}});
    destination.AddRows({{"old", "旧", "o"}});
    AppendListViewRows(source.list(), destination.list());
    EXPECT_EQ(destination.AllRows(),
              (Rows{{"old", "旧", "o"}, {"1", "甲", "x"}, {"2", "", "y"}, {"3", "丙", ""}}));
    EXPECT_EQ(source.RowCount(), 3);

    // From a worker, and into an empty list.
    ListViewWindow empty(3);
    listview_test::RunOnWorker([&] { AppendListViewRows(source.list(), empty.list()); });
    EXPECT_EQ(empty.AllRows(), source.AllRows());
}

TEST(ListViewAppendRows, EmptySourceAddsNothing)
{
    ListViewWindow source(2), destination(2);
    destination.AddRow({"a", "b"});
    AppendListViewRows(source.list(), destination.list());
    EXPECT_EQ(destination.AllRows(), (Rows{{"a", "b"}}));
}

}  // namespace
