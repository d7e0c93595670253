// The commands of the deal list 成交信息: sorting by column clicks with 透明标签_排序, 查看当前订单
// through the shell seam, and the export command with its file name, panel and outcome boxes.
#include "client/deal_list_commands.h"
#include "client/deal_query.h"
#include "client/export_command.h"
#include "client/main_window.h"
#include "export/export_support.h"
#include "runtime/database.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <algorithm>

using namespace export_test;

namespace {

class DealListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        using namespace ui;
        WindowLayout w{"成交信息测试", {50, 50, 1000, 640}, true, {}};
        w.Add(Tab(kMainTab, {0, 0, 1000, 640}, {"5173成交量查询", "5173成交量统计"}));
        AddDealQueryControls(w);
        w.Add(GroupBox("分组框2", "正在导出Excel请稍后......", {440, 300, 450, 65}).Hide());
        w.Add(ProgressBar("进度条1", {5, 20, 440, 30}).In("分组框2"));
        w.Add(FileDialog("通用对话框1", "导出资料", "*.xls", "xls"));
        w.Add(PopupMenu("功能", {"查看当前订单", "成交信息导出Excel"}));
        EventTable events;
        BindDealListCommandEvents(events);
        form = LoadForm(w, events);
        ASSERT_TRUE(form.IsOpen());
        form.Control("透明标签_排序").SetText("降");
    }
    void TearDown() override { form.Destroy(); }

    Control List() const { return form.Control("成交信息"); }
    Text Direction() const { return form.Control("透明标签_排序").GetText(); }
    void ClickColumn(int column)
    {
        EventArgs a;
        a.column = column;
        form.Raise("成交信息", Event::ColumnClick, a);
    }
    TextArray Column(int column) const
    {
        TextArray texts;
        for (int r = 0; r < List().RowCount(); ++r) texts.push_back(List().Cell(r, column));
        return texts;
    }
    // Rows named by their 商品名称, with a price and a unit price.
    void Deals(const std::vector<std::pair<Text, std::pair<Text, Text>>>& deals)
    {
        Rows rows;
        int n = 0;
        for (const auto& [name, prices] : deals)
            rows.push_back({std::to_string(++n), name, "问道/电信一区", "游戏币", prices.first, prices.second,
                            "15-01-07 09:30:00", "http://trading.example/" + name});
        FillList(List(), rows);
    }

    Form form;
    seams_test::MessageBoxRecorder boxes;
};

}  // namespace

TEST_F(DealListTest, PricePriceUnitPrice)
{
    Deals({{"A", {"1,234", "0.5元"}}, {"B", {"2", "0.03元"}}, {"C", {"999", "1元"}}, {"D", {"1,000.5", "0.2元"}}});
    ClickColumn(4);
    EXPECT_EQ(Column(1), (TextArray{"B", "C", "D", "A"})) << "by the value, thousands separators ignored";
    EXPECT_EQ(Column(4), (TextArray{"2", "999", "1,000.5", "1,234"}));
    EXPECT_EQ(Column(0), (TextArray{"2", "3", "4", "1"})) << "whole rows move";
    EXPECT_EQ(Direction(), "升");
    ClickColumn(4);
    EXPECT_EQ(Column(1), (TextArray{"A", "D", "C", "B"}));
    EXPECT_EQ(Direction(), "降");
    ClickColumn(5);
    EXPECT_EQ(Column(1), (TextArray{"B", "D", "A", "C"}));
    EXPECT_EQ(Column(7), (TextArray{"http://trading.example/B", "http://trading.example/D",
                                    "http://trading.example/A", "http://trading.example/C"}));
    EXPECT_EQ(Direction(), "升");
}

TEST_F(DealListTest, AClickOnTheAddressFlipsTheDirectionOnly)
{
    Deals({{"乙", {"1", "1元"}}, {"甲", {"2", "1元"}}, {"丙", {"3", "1元"}}});
    const TextArray before = Column(1);
    ClickColumn(7);
    EXPECT_EQ(Column(1), before);
    EXPECT_EQ(Direction(), "升");
    // The next click sorts in the direction after the flip: descending.
    ClickColumn(0);
    EXPECT_EQ(Column(0), (TextArray{"3", "2", "1"}));
    EXPECT_EQ(Direction(), "降");
    // Text order is the byte order of GBK: 丙 (B1FB) < 甲 (BCD7) < 乙 (D2D2).
    ClickColumn(1);
    EXPECT_EQ(Column(1), (TextArray{"丙", "甲", "乙"}));
    // Any other caption: nothing happens.
    form.Control("透明标签_排序").SetText("");
    ClickColumn(2);
    ClickColumn(0);
    EXPECT_EQ(Column(1), (TextArray{"丙", "甲", "乙"}));
    EXPECT_EQ(Direction(), "");
}

TEST_F(DealListTest, OnlyWebAddressesOfTheSelectedRowGoToTheShell)
{
    seams_test::ShellOpenRecorder shell;
    Deals({{"A", {"1", "1元"}}});
    struct Case {
        Text address;
        bool opened;
    };
    const Case cases[] = {
        {"http://trading.5173.com/deal/1.html", true},
        {"HTTPS://Trading.5173.com/deal/2.html", true},
        {"Http://x", true},
        {"javascript:alert(1)", false},
        {"file:///C:/windows/system32/calc.exe", false},
        {"C:\\windows\\system32\\calc.exe", false},
        {" http://x", false},
        {"http://x\r\ncalc", false},
        {"http:/x", false},
        {"", false},
    };
    for (const Case& c : cases) {
        List().SetCell(0, 7, c.address);
        List().SetSelection(0);
        const std::size_t before = shell.Calls().size();
        form.Raise("查看当前订单", Event::Click);
        const auto calls = shell.Calls();
        ASSERT_EQ(calls.size(), before + (c.opened ? 1 : 0)) << c.address;
        if (c.opened) {
            EXPECT_EQ(calls.back().address, c.address);
        }
    }
    List().SetCell(0, 7, "http://trading.5173.com/deal/1.html");
    List().SetSelection(-1);
    const std::size_t before = shell.Calls().size();
    form.Raise("查看当前订单", Event::Click);
    EXPECT_EQ(shell.Calls().size(), before) << "no row selected";
}

TEST_F(DealListTest, TheProposedFileNameAndCancel)
{
    seams_test::FileDialogRecorder dialog;
    dialog.Cancel();
    const DatabaseCallWatcher previous = SetDatabaseCallWatcher([](const DatabaseCall&) { ADD_FAILURE(); });
    struct Case {
        Text target;
        Text name;
    };
    const Case cases[] = {
        {"GameA>>Area1>>Server2>>游戏币", "成交量-GameA-Area1-Server2-游戏币-BrelmorQuovanta"},
        {"", "成交量--BrelmorQuovanta"},
        {"甲/乙:丙*丁?\"<>|\t誠>>", "成交量-甲-乙-丙-丁------誠--BrelmorQuovanta"},
    };
    for (const Case& c : cases) {
        form.Control("查询目标").SetText(c.target);
        const Text early = DateTimeToText(NowDateTime());
        form.Raise("成交信息导出Excel", Event::Click);
        const Text late = DateTimeToText(NowDateTime());
        const auto calls = dialog.Calls();
        ASSERT_FALSE(calls.empty());
        const SaveFileRequest& r = calls.back().request;
        EXPECT_TRUE(r.fileName == c.name + early || r.fileName == c.name + late) << r.fileName;
        EXPECT_EQ(r.title, "导出资料");
        EXPECT_EQ(r.filter, "*.xls");
        EXPECT_EQ(r.defaultExtension, "xls");
    }
    EXPECT_EQ(DealExportFileName("a>>b", 42011.5453819444), "成交量-a-b-BrelmorQuovanta2015年1月7日13时5分21秒");
    EXPECT_FALSE(form.Control("分组框2").Visible());
    EXPECT_TRUE(boxes.Calls().empty());
    SetDatabaseCallWatcher(previous);
}

TEST_F(DealListTest, ExportWritesTheWorkbookBehindThePanelAndSaysSo)
{
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", "maker.example:8080");
    const Rows rows = ChineseRows(3000, 8);
    FillList(List(), rows);
    form.Control("查询目标").SetText("问道>>电信一区>>龙宫>>游戏币");
    const Text file = WorkbookFolder() + "deal-list.xls";
    ASSERT_TRUE(WriteFileText(file, "an existing file is replaced by the workbook"));
    seams_test::FileDialogRecorder dialog;
    dialog.Choose(file);
    HWND panel = form.Control("分组框2").Handle();
    ProgressWatch watch(form.Control("进度条1").Handle());
    watch.WatchVisibility(panel);
    form.Raise("成交信息导出Excel", Event::Click);
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);

    const auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "导出成功！");
    EXPECT_EQ(calls[0].title, "信息：");
    EXPECT_FALSE(form.Control("分组框2").Visible());
    EXPECT_GT(watch.Sends(), 0);
    EXPECT_TRUE(watch.AlwaysVisible()) << "the panel shows while the workbook is written";
    EXPECT_EQ(watch.LastPosition(), 3000);
    Rows expected{{"序号", "商品名称", "游戏区服", "商品类型", "价格", "单价", "成交时间", "交易地址"}};
    expected.insert(expected.end(), rows.begin(), rows.end());
    ExpectWorkbook(file, "Brelmor网maker.example", expected);
}

TEST_F(DealListTest, AFailedExportHidesThePanelAndWarns)
{
    ScratchFolder scratch("deal-failure");
    Deals({{"A", {"1", "1元"}}});
    seams_test::FileDialogRecorder dialog;
    // A folder that does not exist, and the export's own temporary database.
    const Text choices[] = {scratch / "missing\\成交量.xls", TemporaryDatabasePath(TemporaryFolder())};
    for (const Text& choice : choices) {
        dialog.Choose(choice);
        const std::size_t before = boxes.Calls().size();
        form.Raise("成交信息导出Excel", Event::Click);
        const auto calls = boxes.Calls();
        ASSERT_EQ(calls.size(), before + 1) << choice;
        EXPECT_EQ(calls.back().text, "导出失败！") << choice;
        EXPECT_EQ(calls.back().title, "警告");
        EXPECT_EQ(calls.back().style & MB_TYPEMASK, static_cast<unsigned>(MB_OK));
        EXPECT_FALSE(form.Control("分组框2").Visible());
    }
}

TEST(DealListCommands, SortKindsFileNamesAndSheet)
{
    EXPECT_EQ(DealListColumnSortKind(0), 0);
    EXPECT_EQ(DealListColumnSortKind(1), 1);
    EXPECT_EQ(DealListColumnSortKind(4), 0);
    EXPECT_EQ(DealListColumnSortKind(5), 0);
    EXPECT_EQ(DealListColumnSortKind(6), 1);
    EXPECT_EQ(DealListColumnSortKind(7), -1);
    EXPECT_EQ(DealListColumnSortKind(8), -1);
    EXPECT_EQ(SafeFileName("a\\b/c:d*e?f\"g<h>i|j\x01k\x7Fl"), "a-b-c-d-e-f-g-h-i-j-k-l");
    EXPECT_EQ(SafeFileName("誠葇乗"), "誠葇乗") << "second bytes \\ and | stay";
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr);
    EXPECT_EQ(ExportSheetName(), "Brelmor网www.brelmor.com");
}

// MainWindow binds the commands: the right button and the column click of 成交信息 and the two items.
TEST(DealListCommands, MainWindowBindsThem)
{
    const EventTable events = MainWindowEvents();
    auto bound = [&](const char* control, Event event) {
        return std::any_of(events.begin(), events.end(),
                           [&](const EventBinding& b) { return b.control == control && b.event == event; });
    };
    EXPECT_TRUE(bound("成交信息", Event::RightButton));
    EXPECT_TRUE(bound("成交信息", Event::ColumnClick));
    EXPECT_TRUE(bound("查看当前订单", Event::Click));
    EXPECT_TRUE(bound("成交信息导出Excel", Event::Click));
}

namespace {
bool menuShown = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    GUITHREADINFO info{sizeof info};
    if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE)))
        menuShown = true;
    KillTimer(nullptr, id);
    EndMenu();
}
}  // namespace

TEST_F(DealListTest, TheRightButtonShowsTheMenu)
{
    menuShown = false;
    SetTimer(nullptr, 0, 200, CloseMenu);
    EventArgs a;
    form.Raise("成交信息", Event::RightButton, a);
    EXPECT_TRUE(menuShown);
}
