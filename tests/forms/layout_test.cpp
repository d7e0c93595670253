// Windows built from layout tables: every control kind is created and reads back as declared.
#include "forms/every_kind.h"
#include "support/pump.h"
#include "runtime/forms_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <atomic>
#include <set>
#include <thread>

namespace {

struct FormsFixture : ::testing::Test {
    std::vector<Form> forms;
    Form Load(const WindowLayout& layout, const EventTable& events = {})
    {
        Form f = LoadForm(layout, events);
        forms.push_back(f);
        return f;
    }
    void TearDown() override
    {
        for (auto& f : forms)
            f.Destroy();
        ProcessPendingMessages();
    }
};

using FormLayout = FormsFixture;

BOOL CALLBACK CollectName(HWND h, LPARAM lp)
{
    Text name = ControlNameOf(h);
    if (!name.empty())
        reinterpret_cast<std::set<Text>*>(lp)->insert(name);
    return TRUE;
}

TEST_F(FormLayout, WindowHasTitlePlaceAndSize)
{
    Form f = Load(EveryKindLayout());
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Title(), "测试窗口 Brelmor Quovanta");
    // The place is the frame's, the size the client area's: the frame and caption come on top.
    RECT rc, client;
    GetWindowRect(f.Handle(), &rc);
    GetClientRect(f.Handle(), &client);
    EXPECT_EQ(rc.left, 50);
    EXPECT_EQ(rc.top, 50);
    EXPECT_EQ(client.right, 680);
    EXPECT_EQ(client.bottom, 520);
    EXPECT_GT(rc.bottom - rc.top, 520);
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(GetWindow(f.Handle(), GW_OWNER), nullptr);
    EXPECT_EQ(GetParent(f.Handle()), nullptr);
}

TEST_F(FormLayout, EveryKindReadsBackAsDeclared)
{
    Form f = Load(EveryKindLayout());

    Control tab = f.Control("选择夹1");
    EXPECT_EQ(tab.Kind(), ControlKind::TabControl);
    EXPECT_EQ(tab.Items(), (TextArray{"第一页 常用控件", "第二页 浏览框"}));
    EXPECT_EQ(tab.Selection(), 0);

    EXPECT_EQ(f.Control("按钮_确定").GetText(), "确定");
    EXPECT_TRUE(f.Control("按钮_确定").IsDefault());
    EXPECT_EQ(f.Control("按钮_确定").GetBounds(), (Bounds{10, 10, 80, 25}));
    EXPECT_EQ(f.Control("超级按钮_多行").GetText(), "点\r\n\r\n击");
    EXPECT_TRUE(GetWindowLongA(f.Control("超级按钮_多行").Handle(), GWL_STYLE) & BS_MULTILINE);
    EXPECT_EQ(f.Control("标签_说明").GetText(), "成交信息：中文标签");
    EXPECT_EQ(f.Control("透明标签_状态").GetText(), "透明标签");
    EXPECT_TRUE(GetWindowLongA(f.Control("透明标签_状态").Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(f.Control("编辑框_关键字").GetText(), "关键字");

    Control combo = f.Control("组合框_报警模式");
    EXPECT_EQ(combo.Items(), (TextArray{"弹窗报警", "音乐报警"}));
    EXPECT_EQ(combo.Selection(), 1);
    EXPECT_EQ(combo.GetText(), "音乐报警");
    EXPECT_EQ(combo.GetBounds().left, 490);
    EXPECT_EQ(combo.GetBounds().width, 150);

    Control history = f.Control("列表框_历史排行_显");
    EXPECT_EQ(history.ItemCount(), 3);
    EXPECT_EQ(history.Item(2), "第三周");
    EXPECT_EQ(history.Item(3), "");
    EXPECT_EQ(history.Selection(), -1);
    EXPECT_EQ(history.GetText(), "");

    Control list = f.Control("成交信息");
    EXPECT_EQ(list.ColumnCount(), 5);
    EXPECT_EQ(list.ColumnTitle(1), "商品名称");
    EXPECT_EQ(list.ColumnWidth(1), 150);
    EXPECT_EQ(list.ColumnWidth(2), 0);
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_TRUE((GetWindowLongA(list.Handle(), GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT);

    EXPECT_GT(f.Control("日期框1").Date(), 36000.0);

    Control progress = f.Control("进度条1");
    EXPECT_EQ(progress.Minimum(), 0);
    EXPECT_EQ(progress.Maximum(), 100);
    EXPECT_EQ(progress.Position(), 40);

    Control slider = f.Control("滑块条1");
    EXPECT_EQ(slider.Minimum(), 0);
    EXPECT_EQ(slider.Maximum(), 90);
    EXPECT_EQ(slider.Position(), 1);

    EXPECT_TRUE(f.Control("选择框1").Checked());
    EXPECT_EQ(f.Control("选择框1").GetText(), "自动运行");
    EXPECT_FALSE(f.Control("图片框_logo").HasPicture());
    EXPECT_EQ(f.Control("分组框1").GetText(), "分组框：其中有进度条");
    EXPECT_EQ(f.Control("进度条_分组").Position(), 7);
    EXPECT_FALSE(f.Control("按钮_禁用").Enabled());
    EXPECT_TRUE(f.Control("按钮_确定").Enabled());
    EXPECT_FALSE(f.Control("标签_隐藏").Visible());
    EXPECT_TRUE(f.Control("标签_说明").Visible());

    Control status = f.Control("状态条1");
    EXPECT_EQ(SendMessageA(status.Handle(), SB_GETPARTS, 0, 0), 3);
    status.SetPartText(2, "第三部分");
    EXPECT_EQ(status.PartText(2), "第三部分");
    EXPECT_EQ(status.PartText(3), "");

    EXPECT_EQ(f.Control("时钟1").Interval(), 0);
    EXPECT_EQ(f.Control("功能").Items(), (TextArray{"查看当前订单", "成交信息导出Excel"}));
    EXPECT_EQ(GetMenuItemCount(f.Control("功能").MenuHandle()), 2);
    EXPECT_EQ(f.Control("通用对话框1").GetText(), "导出资料");
    EXPECT_TRUE(f.Control("外部数据库1").IsAlive());
    EXPECT_EQ(f.Control("外部数据库1").Handle(), nullptr);
    EXPECT_EQ(f.Control("超文本浏览框1").Address(), "");
}

TEST_F(FormLayout, ControlsSitOnTheirParents)
{
    Form f = Load(EveryKindLayout());
    HWND tab = f.Control("选择夹1").Handle();
    HWND onPage0 = f.Control("按钮_确定").Handle();
    HWND onPage1 = f.Control("标签_第二页").Handle();
    HWND page0 = GetParent(onPage0);
    HWND page1 = GetParent(onPage1);
    EXPECT_EQ(GetParent(page0), tab);
    EXPECT_EQ(GetParent(page1), tab);
    EXPECT_NE(page0, page1);
    EXPECT_EQ(GetParent(f.Control("进度条_分组").Handle()), f.Control("分组框1").Handle());
    EXPECT_EQ(GetParent(f.Control("状态条1").Handle()), f.Handle());

    // Only the current page shows; a control's own visibility is kept apart from its page's.
    EXPECT_TRUE(IsWindowVisible(onPage0));
    EXPECT_FALSE(IsWindowVisible(onPage1));
    EXPECT_TRUE(f.Control("标签_第二页").Visible());
    f.Control("选择夹1").SetSelection(1);
    EXPECT_EQ(f.Control("选择夹1").Selection(), 1);
    EXPECT_EQ(f.Control("选择夹1").GetText(), "第二页 浏览框");
    EXPECT_FALSE(IsWindowVisible(onPage0));
    EXPECT_TRUE(IsWindowVisible(onPage1));
    f.Control("选择夹1").SetSelection(7);  // no such page: nothing changes
    EXPECT_EQ(f.Control("选择夹1").Selection(), 1);
}

// A tab control that fills its window, with a control on a page as wide and as high as the whole tab
// control: the tab control grows until its page holds the control, and the window with it. A control
// declared hidden asks for no room.
TEST_F(FormLayout, TabControlGrowsUntilItsPagesHoldTheirControls)
{
    WindowLayout w{"页面", {50, 50, 300, 200}};
    w.Add(ui::Tab("选择夹1", {0, 0, 300, 200}, {"第一页", "第二页"}));
    w.Add(ui::PictureBox("图片框1", {0, 0, 300, 50}).In("选择夹1", 0));
    w.Add(ui::Button("按钮1", "确定", {10, 170, 80, 30}).In("选择夹1", 1));
    w.Add(ui::Label("标签_隐藏", "", {0, 0, 900, 900}).In("选择夹1", 1).Hide());
    Form f = Load(w);
    ASSERT_TRUE(f.IsOpen());
    for (const char* name : {"图片框1", "按钮1"}) {
        HWND control = f.Control(name).Handle();
        HWND page = GetParent(control);
        f.Control("选择夹1").SetSelection(name == std::string("按钮1") ? 1 : 0);
        RECT r, area;
        GetWindowRect(control, &r);
        GetClientRect(page, &area);
        MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&area), 2);
        EXPECT_GE(area.right, r.right) << name;
        EXPECT_GE(area.bottom, r.bottom) << name;
        EXPECT_EQ(r.right - r.left, name == std::string("按钮1") ? 80 : 300) << name;
    }
    const Bounds tab = f.Control("选择夹1").GetBounds();
    EXPECT_GT(tab.width, 300);
    EXPECT_GT(tab.height, 200);
    EXPECT_LT(tab.width, 330);   // the hidden label asked for nothing
    EXPECT_LT(tab.height, 260);
    RECT client;
    GetClientRect(f.Handle(), &client);
    EXPECT_EQ(client.right, tab.width);
    EXPECT_EQ(client.bottom, tab.height);
}

// Every glyph of a label's text is drawn whole: the label wraps where a line would run past its edge.
// Two lines that the system's own wrapping leaves whole: ideographs that fill the width, then a closing
// mark, which may not begin a line; and a line with curly quotes, which a face with bitmap glyphs draws
// wider than it measures them (the label is as wide as the line measures).
TEST_F(FormLayout, LabelsDrawEveryGlyphOfTheirTextWhole)
{
    // A white 1 x 1 BMP: a label with a picture draws its text itself.
    ByteSet white = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,         // file header
                     40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    white.resize(54, 0);                                                       // no resolution, no palette
    white.insert(white.end(), {255, 255, 255, 0});                             // one white pixel
    const struct {
        Text text;
        std::wstring measured;  // the part whose measured width the label gets
        bool breaksAtTheMark;
    } texts[] = {
        {"更新完成即可启动。", L"更新完成即可启动", true},
        {"勾选“自动运行”后点击“完成更新”", L"勾选“自动运行”后点击“完成更新”", false},
    };
    auto dark = [](COLORREF p) { return GetRValue(p) + GetGValue(p) + GetBValue(p) < 3 * 100; };
    for (const auto& t : texts)
        for (int kind = 0; kind < 3; ++kind) {
            const char* what[] = {"label", "transparent label", "label with a picture"};
            ControlSpec spec = kind == 1 ? ui::TransparentLabel("标签1", t.text, {10, 10, 100, 60})
                                         : ui::Label("标签1", t.text, {10, 10, 100, 60});
            if (kind == 2)
                spec.Picture(white);
            WindowLayout w{"换行", {50, 50, 500, 200}};
            w.Add(spec);
            Form f = Load(w);
            HWND label = f.Control("标签1").Handle();
            ASSERT_NE(label, nullptr) << what[kind];

            // The text's ink drawn on one line, unclipped, and the width it measures.
            HDC screen = GetDC(label);
            HDC mem = CreateCompatibleDC(screen);
            HBITMAP bitmap = CreateCompatibleBitmap(screen, 600, 40);
            HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
            HGDIOBJ oldFont = SelectObject(mem, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
            RECT all{0, 0, 600, 40};
            FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            SetBkMode(mem, TRANSPARENT);
            const std::wstring wide = forms_detail::Widen(t.text);
            TextOutW(mem, 0, 0, wide.c_str(), static_cast<int>(wide.size()));
            int inkOnOneLine = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 600; ++x)
                    inkOnOneLine += dark(GetPixel(mem, x, y));
            SIZE extent;
            GetTextExtentPoint32W(mem, t.measured.c_str(), static_cast<int>(t.measured.size()), &extent);
            TEXTMETRICW tm;
            GetTextMetricsW(mem, &tm);
            SelectObject(mem, oldFont);
            SelectObject(mem, oldBitmap);
            DeleteObject(bitmap);
            DeleteDC(mem);
            ReleaseDC(label, screen);

            f.Control("标签1").SetBounds({10, 10, extent.cx, 3 * tm.tmHeight});
            RedrawWindow(f.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            HDC dc = GetDC(label);
            int ink = 0, inkBelow = 0;
            for (int y = 0; y < 3 * tm.tmHeight; ++y)
                for (int x = 0; x < extent.cx; ++x)
                    if (dark(GetPixel(dc, x, y))) {
                        ++ink;
                        inkBelow += y >= tm.tmHeight;
                    }
            ReleaseDC(label, dc);
            EXPECT_GT(inkOnOneLine, 0) << what[kind];
            EXPECT_EQ(ink, inkOnOneLine) << what[kind] << ": part of the text was cut off at the edge";
            if (t.breaksAtTheMark)
                EXPECT_GT(inkBelow, 0) << what[kind];
            f.Destroy();
        }
}

TEST_F(FormLayout, EveryControlWindowCarriesItsName)
{
    Form f = Load(EveryKindLayout());
    // What a tool in another process does: walk the child windows and read the property.
    std::set<Text> found;
    EnumChildWindows(f.Handle(), CollectName, reinterpret_cast<LPARAM>(&found));
    const std::set<ControlKind> windowless = {ControlKind::Timer, ControlKind::PopupMenu, ControlKind::FileDialog,
                                              ControlKind::Database};
    for (const auto& name : f.ControlNames()) {
        Control c = f.Control(name);
        if (windowless.count(c.Kind())) {
            EXPECT_FALSE(found.count(name)) << name;
            continue;
        }
        EXPECT_TRUE(found.count(name)) << name;
        HWND h = FindControlWindow(f.Handle(), name);
        EXPECT_EQ(h, c.Handle()) << name;
        // The property is a global atom of the GBK name.
        auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(h, "ControlName")));
        char buf[256] = {};
        GlobalGetAtomNameA(atom, buf, sizeof(buf));
        EXPECT_EQ(Text(buf), name);
    }
    EXPECT_EQ(found.size(), f.ControlNames().size() - windowless.size());
}

TEST_F(FormLayout, UnknownNameGivesADeadControl)
{
    Form f = Load(EveryKindLayout());
    Control none = f.Control("没有这个控件");
    EXPECT_FALSE(none.IsAlive());
    EXPECT_EQ(none.GetText(), "");
    EXPECT_EQ(none.Selection(), -1);
    EXPECT_EQ(none.Handle(), nullptr);
    none.SetText("x");  // nothing happens
    none.InsertRow(0, "x");
}

TEST_F(FormLayout, PropertiesCanBeWritten)
{
    Form f = Load(EveryKindLayout());
    Control combo = f.Control("组合框_报警模式");
    combo.SetSelection(-1);
    EXPECT_EQ(combo.Selection(), -1);
    EXPECT_EQ(combo.GetText(), "");
    combo.SetText("弹窗报警");
    EXPECT_EQ(combo.Selection(), 0);
    combo.SetItems({"甲", "乙", "丙"});
    EXPECT_EQ(combo.ItemCount(), 3);
    EXPECT_EQ(combo.Selection(), -1);
    EXPECT_EQ(combo.AddItem("丁"), 3);
    combo.RemoveItem(0);
    EXPECT_EQ(combo.Items(), (TextArray{"乙", "丙", "丁"}));
    combo.ClearItems();
    EXPECT_EQ(combo.ItemCount(), 0);

    Control history = f.Control("列表框_历史排行_显");
    history.SetSelection(1);
    EXPECT_EQ(history.GetText(), "第二周");
    history.InsertItem(0, "第零周");
    EXPECT_EQ(history.Item(0), "第零周");
    EXPECT_EQ(history.Selection(), 2);  // the selected item moved down with the insertion

    Control label = f.Control("标签_说明");
    label.SetText("新的说明");
    EXPECT_EQ(label.GetText(), "新的说明");
    label.SetVisible(false);
    EXPECT_FALSE(label.Visible());
    label.SetVisible(true);
    label.SetEnabled(false);
    EXPECT_FALSE(label.Enabled());
    label.Move(20, 300);
    EXPECT_EQ(label.GetBounds(), (Bounds{20, 300, 200, 20}));
    label.SetBounds({5, 6, 70, 30});
    EXPECT_EQ(label.GetBounds(), (Bounds{5, 6, 70, 30}));

    Control transparent = f.Control("透明标签_状态");
    transparent.SetText("正在查询，请等待.....");
    EXPECT_EQ(transparent.GetText(), "正在查询，请等待.....");

    Control slider = f.Control("滑块条1");
    slider.SetPosition(90);
    EXPECT_EQ(slider.Position(), 90);
    slider.SetPosition(500);  // clamped to the range
    EXPECT_EQ(slider.Position(), 90);

    Control progress = f.Control("进度条1");
    progress.SetRange(0, 200);
    progress.SetPosition(150);
    EXPECT_EQ(progress.Maximum(), 200);
    EXPECT_EQ(progress.Position(), 150);

    Control check = f.Control("选择框1");
    check.SetChecked(false);
    EXPECT_FALSE(check.Checked());

    Control status = f.Control("状态条1");
    status.SetText("第一部分");
    EXPECT_EQ(status.PartText(0), "第一部分");
    EXPECT_EQ(status.GetText(), "第一部分");

    Control date = f.Control("日期框1");
    date.SetDate(42011.0);  // 7 January 2015
    EXPECT_DOUBLE_EQ(date.Date(), 42011.0);

    // One default push button per window.
    Control other = f.Control("超级按钮_多行");
    other.SetDefault(true);
    EXPECT_TRUE(other.IsDefault());
    EXPECT_FALSE(f.Control("按钮_确定").IsDefault());
    EXPECT_EQ(GetWindowLongA(f.Control("按钮_确定").Handle(), GWL_STYLE) & 0x0F, BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(other.Handle(), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);

    f.SetTitle("新标题");
    EXPECT_EQ(f.Title(), "新标题");

    auto slot = std::make_shared<int>(42);
    f.Control("外部数据库1").SetData(slot);
    EXPECT_EQ(f.Control("外部数据库1").Data(), slot);
}

TEST_F(FormLayout, ListViewRowsAndCells)
{
    Form f = Load(EveryKindLayout());
    Control list = f.Control("成交信息");
    list.ClearRows();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.AddRow("1"), 0);
    EXPECT_EQ(list.InsertRow(0, "2"), 0);       // on top
    EXPECT_EQ(list.InsertRow(99, "3"), 2);      // past the end appends
    EXPECT_EQ(list.InsertRow(1, "中"), 1);
    EXPECT_EQ(list.Items(), (TextArray{"2", "中", "1", "3"}));
    list.SetCell(1, 1, "商品甲");
    list.SetCell(1, 2, "http://example/1");     // the hidden column holds data
    list.SetCell(1, 9, "no such column");
    list.SetCell(9, 1, "no such row");
    EXPECT_EQ(list.Cell(1, 1), "商品甲");
    EXPECT_EQ(list.Cell(1, 2), "http://example/1");
    EXPECT_EQ(list.Cell(1, 9), "");
    EXPECT_EQ(list.Cell(-1, 0), "");
    EXPECT_EQ(list.RowCells(1), (TextArray{"中", "商品甲", "http://example/1", "", ""}));
    Text longText(3000, 'x');
    list.SetCell(0, 4, longText);
    EXPECT_EQ(list.Cell(0, 4), longText);
    EXPECT_EQ(list.InsertRowCells(0, {"9", "乙", "", "12"}), 0);
    EXPECT_EQ(list.Cell(0, 3), "12");

    EXPECT_EQ(list.Selection(), -1);
    list.SetSelection(2);
    EXPECT_EQ(list.Selection(), 2);
    EXPECT_EQ(list.GetText(), "中");
    list.SetSelection(-1);
    EXPECT_EQ(list.Selection(), -1);

    list.DeleteRow(0);
    list.DeleteRow(50);
    EXPECT_EQ(list.RowCount(), 4);
    EXPECT_EQ(list.Cell(0, 0), "2");
    list.ClearRows();
    EXPECT_EQ(list.RowCount(), 0);
}

TEST_F(FormLayout, HiddenWindowStaysHiddenAndWorks)
{
    WindowLayout hidden{"", {50, 50, 85, 95}, false, {}};
    hidden.Add(ui::Database("外部数据库1"));
    hidden.Add(ui::Label("标签1", "隐藏窗口", {0, 0, 80, 20}));
    Form f = Load(hidden);
    EXPECT_TRUE(f.IsOpen());
    EXPECT_FALSE(f.Visible());
    EXPECT_FALSE(IsWindowVisible(f.Handle()));
    f.Control("标签1").SetText("改");
    EXPECT_EQ(f.Control("标签1").GetText(), "改");
    EXPECT_EQ(OpenFormCount(), 1);
}

TEST_F(FormLayout, CreatedRunsBeforeShowAndDestroyedSeesLiveControls)
{
    std::vector<Text> log;
    EventTable events = {
        {"", Event::Created,
         [&](const EventArgs& a) {
             log.push_back("created");
             EXPECT_FALSE(IsWindowVisible(a.form->Handle()));
             a.form->Control("标签_说明").SetText("由创建事件写入");
         }},
        {"", Event::Destroyed,
         [&](const EventArgs& a) {
             log.push_back("destroyed:" + a.form->Control("标签_说明").GetText());
         }},
    };
    Form f = Load(EveryKindLayout(), events);
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(f.Control("标签_说明").GetText(), "由创建事件写入");
    Control label = f.Control("标签_说明");
    f.Destroy();
    EXPECT_EQ(log, (std::vector<Text>{"created", "destroyed:由创建事件写入"}));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(label.IsAlive());
    EXPECT_EQ(label.GetText(), "");
    EXPECT_EQ(f.Handle(), nullptr);
}

TEST_F(FormLayout, MessageLoopEndsWhenTheLastWindowIsGone)
{
    // The first window opens a second one, without owner and not modal, from a handler; the loop runs
    // until both have been closed.
    WindowLayout second{"第二个窗口", {100, 100, 300, 200}, true, {}};
    second.Add(ui::Label("标签1", "第二个", {0, 0, 100, 20}));
    Form opened;
    std::atomic<bool> firstClosed{false};
    WindowLayout first{"第一个窗口", {50, 50, 300, 200}, true, {}};
    first.Add(ui::Button("按钮_打开", "打开", {10, 10, 80, 25}));
    first.Add(ui::Timer("时钟1", 0));
    int ticks = 0;
    EventTable events = {
        {"按钮_打开", Event::Click, [&](const EventArgs&) { opened = LoadForm(second); }},
        {"时钟1", Event::Tick,
         [&](const EventArgs& a) {
             ++ticks;
             if (ticks == 1) {
                 SendMessageA(a.form->Control("按钮_打开").Handle(), BM_CLICK, 0, 0);
             } else if (ticks == 2) {
                 EXPECT_EQ(OpenFormCount(), 2);
                 EXPECT_EQ(GetWindow(opened.Handle(), GW_OWNER), nullptr);
                 a.form->Close();  // the first goes, the second keeps the loop running
             } else {
                 ADD_FAILURE() << "the timer of a closed window ticked";
             }
         }},
        {"", Event::Destroyed, [&](const EventArgs&) { firstClosed = true; }},
    };
    Form f = LoadForm(first, events);
    f.Control("时钟1").SetInterval(20);
    // Once the first has gone, a worker asks the second window to close.
    std::thread closer([&] {
        while (!firstClosed)
            Sleep(10);
        Sleep(50);
        for (Form& open : OpenForms())
            open.Close();
    });
    EXPECT_EQ(RunMessageLoop(), 0);
    closer.join();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(opened.IsOpen());
    EXPECT_EQ(OpenFormCount(), 0);
    EXPECT_EQ(ticks, 2);
}

// Holds the test window on screen for a look (QUOVANTA_SHOWCASE_SECONDS=n); otherwise only builds it.
TEST_F(FormLayout, Showcase)
{
    Form f = Load(EveryKindLayout());
    Control list = f.Control("成交信息");
    list.ClearRows();
    for (int i = 0; i < 4; ++i)
        list.InsertRowCells(-1, {std::to_string(i + 1), "游戏币 " + std::to_string(100 * (i + 1)) + "万金",
                                 "http://example/" + std::to_string(i), "12.5" + std::to_string(i),
                                 "2015年1月7日13时5分"});
    f.Control("状态条1").SetPartText(0, "正在查询，请等待.....");
    f.Control("状态条1").SetPartText(1, "查询完毕！");
    f.Control("状态条1").SetPartText(2, "2015年1月7日13时5分9秒");
    f.Control("列表框_历史排行_显").SetSelection(1);
    const char* seconds = std::getenv("QUOVANTA_SHOWCASE_SECONDS");
    if (seconds) {
        const char* page = std::getenv("QUOVANTA_SHOWCASE_PAGE");
        if (page)
            f.Control("选择夹1").SetSelection(std::atoi(page));
        PumpFor(std::atoi(seconds) * 1000);
    }
}

}  // namespace
