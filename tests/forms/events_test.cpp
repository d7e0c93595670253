// Events reach the one handler bound to (control, event), on the window thread, with their arguments.
// The controls are worked through their own messages, so the notifications are the real ones.
#include "forms/every_kind.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Seen {
    Text control;
    Event event;
    EventArgs args;
    DWORD thread;
};

struct FormEvents : ::testing::Test {
    Form form;
    std::vector<Seen> seen;

    void SetUp() override
    {
        form = LoadForm(EveryKindLayout());
        ASSERT_TRUE(form.IsOpen());
    }
    void TearDown() override
    {
        form.Destroy();
        ProcessPendingMessages();
    }
    void Record(std::string_view control, Event event)
    {
        form.On(control, event, [this](const EventArgs& a) { seen.push_back({a.control, a.event, a, GetCurrentThreadId()}); });
    }
    HWND H(std::string_view name) { return form.Control(name).Handle(); }
};

TEST_F(FormEvents, ButtonsAndCheckBoxRaiseClick)
{
    Record("按钮_确定", Event::Click);
    Record("选择框1", Event::Click);
    SendMessageA(H("按钮_确定"), BM_CLICK, 0, 0);
    SendMessageA(H("选择框1"), BM_CLICK, 0, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].control, "按钮_确定");
    EXPECT_EQ(seen[0].event, Event::Click);
    EXPECT_EQ(seen[0].args.form->Handle(), form.Handle());
    EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
    EXPECT_EQ(seen[1].control, "选择框1");
    EXPECT_FALSE(form.Control("选择框1").Checked());  // the click ticked it off
}

TEST_F(FormEvents, OneHandlerPerControlEvent)
{
    int first = 0, second = 0;
    form.On("按钮_确定", Event::Click, [&](const EventArgs&) { ++first; });
    form.On("按钮_确定", Event::Click, [&](const EventArgs&) { ++second; });
    SendMessageA(H("按钮_确定"), BM_CLICK, 0, 0);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    form.On("按钮_确定", Event::Click, nullptr);
    SendMessageA(H("按钮_确定"), BM_CLICK, 0, 0);
    EXPECT_EQ(second, 1);
    // A disabled button cannot be clicked.
    Record("按钮_禁用", Event::Click);
    SendMessageA(H("按钮_禁用"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(H("按钮_禁用"), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(seen.empty());
}

TEST_F(FormEvents, SelectionChangesCarryTheNewIndex)
{
    Record("组合框_报警模式", Event::SelectionChanged);
    Record("列表框_历史排行_显", Event::SelectionChanged);
    Record("选择夹1", Event::SelectionChanged);

    SetFocus(H("组合框_报警模式"));
    SendMessageA(H("组合框_报警模式"), WM_KEYDOWN, VK_UP, 0);  // from item 1 to item 0
    SendMessageA(H("列表框_历史排行_显"), WM_KEYDOWN, VK_DOWN, 0);
    // A click on the second tab.
    RECT rc;
    SendMessageA(H("选择夹1"), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(H("选择夹1"), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(H("选择夹1"), WM_LBUTTONUP, 0, at);

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].control, "组合框_报警模式");
    EXPECT_EQ(seen[0].args.index, 0);
    EXPECT_EQ(form.Control("组合框_报警模式").GetText(), "弹窗报警");
    EXPECT_EQ(seen[1].control, "列表框_历史排行_显");
    EXPECT_EQ(seen[1].args.index, 0);
    EXPECT_EQ(seen[2].control, "选择夹1");
    EXPECT_EQ(seen[2].args.index, 1);
    EXPECT_TRUE(IsWindowVisible(H("标签_第二页")));
    EXPECT_FALSE(IsWindowVisible(H("按钮_确定")));
}

TEST_F(FormEvents, ProgrammaticSelectionRaisesNothing)
{
    Record("组合框_报警模式", Event::SelectionChanged);
    Record("滑块条1", Event::PositionChanged);
    form.Control("组合框_报警模式").SetSelection(0);
    form.Control("滑块条1").SetPosition(30);
    EXPECT_TRUE(seen.empty());
}

TEST_F(FormEvents, SliderReportsNewPositions)
{
    Record("滑块条1", Event::PositionChanged);
    HWND slider = H("滑块条1");
    SendMessageA(slider, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(slider, WM_KEYUP, VK_RIGHT, 0);
    SendMessageA(slider, WM_KEYDOWN, VK_END, 0);
    SendMessageA(slider, WM_KEYUP, VK_END, 0);
    ASSERT_EQ(seen.size(), 2u);  // the key-up's end-of-move report does not count as a change
    EXPECT_EQ(seen[0].args.index, 2);
    EXPECT_EQ(seen[1].args.index, 90);
    EXPECT_EQ(form.Control("滑块条1").Position(), 90);
}

TEST_F(FormEvents, ListViewColumnClickAndRightButton)
{
    Record("成交信息", Event::ColumnClick);
    Record("成交信息", Event::RightButton);
    HWND list = H("成交信息");
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT rc;
    SendMessageA(header, HDM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&rc));
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);

    // A right click: the list view waits for the button's release in a loop of its own.
    POINT p{30, 40};
    ClientToScreen(list, &p);
    SetCursorPos(p.x, p.y);
    PumpFor(50);  // the move the cursor made is handled before the click
    PostMessageA(list, WM_RBUTTONUP, 0, MAKELPARAM(30, 40));
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 40));
    PumpUntil([&] { return seen.size() >= 2; }, 2000);

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, Event::ColumnClick);
    EXPECT_EQ(seen[0].args.column, 3);
    EXPECT_EQ(seen[1].event, Event::RightButton);
    POINT now;
    GetCursorPos(&now);
    ScreenToClient(list, &now);
    EXPECT_EQ(seen[1].args.x, now.x);
    EXPECT_EQ(seen[1].args.y, now.y);
}

TEST_F(FormEvents, MouseOnLabelsAndPictures)
{
    Record("标签_说明", Event::LeftButtonDown);
    Record("图片框_logo", Event::RightButton);
    SendMessageA(H("标签_说明"), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 6));
    SendMessageA(H("图片框_logo"), WM_RBUTTONUP, 0, MAKELPARAM(17, 18));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].args.x, 5);
    EXPECT_EQ(seen[0].args.y, 6);
    EXPECT_EQ(seen[0].args.keys, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(seen[1].event, Event::RightButton);
    EXPECT_EQ(seen[1].args.x, 17);
    EXPECT_EQ(seen[1].args.y, 18);
}

TEST_F(FormEvents, EditBoxFocusAndTextChange)
{
    Record("编辑框_关键字", Event::FocusGained);
    Record("编辑框_关键字", Event::TextChanged);
    SetFocus(H("按钮_确定"));
    SetFocus(H("编辑框_关键字"));
    form.Control("编辑框_关键字").SetText("新");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].event, Event::FocusGained);
    EXPECT_EQ(seen[1].event, Event::TextChanged);
}

TEST_F(FormEvents, DatePickerChangeIsReported)
{
    Record("日期框1", Event::DateChanged);
    Control date = form.Control("日期框1");
    date.SetDate(42011.0);
    EXPECT_TRUE(seen.empty());
    // The user picks the first field and moves it on by one with the keyboard.
    SetFocus(date.Handle());
    SendMessageA(date.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(date.Handle(), WM_KEYDOWN, VK_UP, 0);
    SendMessageA(date.Handle(), WM_KEYUP, VK_UP, 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(date.Date(), 42011.0);
}

TEST_F(FormEvents, TimerTicksUntilStopped)
{
    int ticks = 0;
    Control timer = form.Control("时钟1");
    form.On("时钟1", Event::Tick, [&](const EventArgs& a) {
        ++ticks;
        EXPECT_EQ(a.control, "时钟1");
        if (ticks == 3)
            a.form->Control("时钟1").SetInterval(0);
    });
    timer.SetInterval(15);
    EXPECT_EQ(timer.Interval(), 15);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
    PumpFor(150);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(timer.Interval(), 0);
}

TEST_F(FormEvents, MenuItemsRaiseClickUnderTheirCaptions)
{
    Record("成交信息导出Excel", Event::Click);
    HMENU menu = form.Control("功能").MenuHandle();
    UINT id = GetMenuItemID(menu, 1);
    SendMessageA(form.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].control, "成交信息导出Excel");
    EXPECT_EQ(seen[0].args.index, 1);
}

TEST_F(FormEvents, PopupMenuOpensAtTheCursorAndReportsTheChoice)
{
    Record("查看当前订单", Event::Click);
    SetCursorPos(200, 200);
    // A helper thread picks the first item once the menu is up, as a user would with the keyboard. The
    // menu's window exists, hidden at 0,0, before it is placed and shown: only a shown one is up.
    std::thread user([] {
        HWND menu = nullptr;
        for (int i = 0; i < 300 && !menu; ++i) {
            Sleep(10);
            HWND found = FindWindowA("#32768", nullptr);
            if (found && IsWindowVisible(found))
                menu = found;
        }
        if (!menu)
            return;
        RECT rc;
        GetWindowRect(menu, &rc);
        EXPECT_LE(std::abs(rc.left - 200), 2);
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    form.Popup("功能");
    user.join();
    PumpUntil([&] { return !seen.empty(); }, 2000);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].control, "查看当前订单");
}

TEST_F(FormEvents, RaiseRunsTheHandlerOnTheWindowThread)
{
    Record("按钮_确定", Event::Click);
    std::thread worker([&] {
        EventArgs a;
        a.index = 5;
        form.Raise("按钮_确定", Event::Click, a);
    });
    PumpUntil([&] { return !seen.empty(); }, 3000);
    worker.join();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
    EXPECT_EQ(seen[0].args.index, 5);
}

}  // namespace
