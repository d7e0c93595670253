// Batches of list writes: whole pages of rows in one window-thread step, shown and hidden lists alike,
// hidden ones staying hidden; steps on the thread of any window of the process.
#include "runtime/window_thread.h"
#include "runtime/workers.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

WindowLayout BatchLayout()
{
    WindowLayout w{"批量", {60, 60, 500, 400}, true, {}};
    const std::vector<ColumnSpec> columns = {{"序号", 40}, {"商品名称", 150}, {"价格", 60}};
    w.Add(ui::ListView("成交信息", {0, 0, 490, 200}, columns));
    w.Add(ui::ListView("成交信息复制", {0, 0, 490, 200}, columns).Hide());
    w.Add(ui::ListBox("游戏列表_游戏名_显", {0, 210, 200, 100}));
    w.Add(ui::ListBox("游戏列表_游戏名_隐", {0, 210, 200, 100}).Hide());
    return w;
}

bool OwnVisible(HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; }

class ListBatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = LoadForm(BatchLayout());
        ASSERT_TRUE(form.IsOpen());
    }
    void TearDown() override { form.Destroy(); }

    // Runs `fn` on a worker while this thread handles the window.
    void FromWorker(std::function<void()> fn)
    {
        HANDLE worker = StartWorkerKept(std::move(fn));
        ASSERT_NE(worker, nullptr);
        ASSERT_TRUE(WaitHandlePumping(worker, 10000));
        CloseHandle(worker);
    }

    Form form;
};

TEST_F(ListBatch, PagesOfRowsGoInWholeFromAWorkerShownAndHidden)
{
    for (const char* name : {"成交信息", "成交信息复制"}) {
        SCOPED_TRACE(name);
        Control list = form.Control(name);
        int first = 0, second = 0;
        FromWorker([&] {
            first = list.InsertRows(0, {{"2", "乙", "20"}, {"1", "甲"}});
            // the next page on top, as the deal query stacks them; a surplus cell is left out
            second = list.InsertRows(0, {{"4", "丁", "40", "多余"}, {"3", "丙", "30"}});
        });
        EXPECT_EQ(first, 2);
        EXPECT_EQ(second, 2);
        const std::vector<TextArray> expected = {
            {"4", "丁", "40"}, {"3", "丙", "30"}, {"2", "乙", "20"}, {"1", "甲", ""}};
        EXPECT_EQ(list.AllRows(), expected);
        EXPECT_EQ(list.ColumnCells(1), (TextArray{"丁", "丙", "乙", "甲"}));
        EXPECT_EQ(list.InsertRows(-1, {{"0"}}), 1);
        EXPECT_EQ(list.Cell(4, 0), "0");

        list.SetRows({{"9", "壬", "90"}});
        EXPECT_EQ(list.AllRows(), (std::vector<TextArray>{{"9", "壬", "90"}}));
        list.SetRows({});
        EXPECT_EQ(list.RowCount(), 0);
    }
    // Turning the redraw back on marks a window visible: the hidden list must not have been shown.
    EXPECT_FALSE(OwnVisible(form.Control("成交信息复制").Handle()));
    EXPECT_FALSE(form.Control("成交信息复制").Visible());
    EXPECT_TRUE(OwnVisible(form.Control("成交信息").Handle()));
}

TEST_F(ListBatch, WriteBatchHoldsEveryListAndNestedHoldsEndOnce)
{
    Control shown = form.Control("成交信息"), hidden = form.Control("成交信息复制");
    Control names = form.Control("游戏列表_游戏名_显"), ids = form.Control("游戏列表_游戏名_隐");
    bool heldInside = false, visibleInside = false, hiddenInside = true;
    FromWorker([&] {
        WriteBatch({shown, hidden, names, ids}, [&] {
            heldInside = RedrawHeld(shown.Handle()) && RedrawHeld(hidden.Handle()) && RedrawHeld(ids.Handle());
            {
                RedrawHold again(shown.Handle());
                shown.InsertRows(0, {{"1", "甲"}});
            }
            heldInside = heldInside && RedrawHeld(shown.Handle());  // the outer hold still stands
            visibleInside = shown.Visible();
            hiddenInside = hidden.Visible();
            hidden.SetRows({{"1"}, {"2"}});
            names.SetItems({"问道", "梦幻西游"});
            ids.SetItems({"1", "2"});
        });
    });
    EXPECT_TRUE(heldInside);
    EXPECT_TRUE(visibleInside);  // a held list reads as it will be once the hold ends
    EXPECT_FALSE(hiddenInside);
    // The batch's holds are over; a hidden list keeps the hold it has for as long as it is hidden.
    for (const Control& c : {shown, names}) EXPECT_FALSE(RedrawHeld(c.Handle())) << c.Name();
    for (const Control& c : {hidden, ids}) EXPECT_TRUE(RedrawHeld(c.Handle())) << c.Name();
    EXPECT_TRUE(OwnVisible(shown.Handle()));
    EXPECT_TRUE(OwnVisible(names.Handle()));
    EXPECT_FALSE(OwnVisible(hidden.Handle()));
    EXPECT_FALSE(OwnVisible(ids.Handle()));
    EXPECT_EQ(hidden.RowCount(), 2);
    EXPECT_EQ(ids.Items(), (TextArray{"1", "2"}));
}

TEST_F(ListBatch, ShowingOrHidingAListWhileItIsHeldLastsPastTheHold)
{
    Control shown = form.Control("成交信息"), hidden = form.Control("成交信息复制");
    {
        RedrawHold a(shown.Handle()), b(hidden.Handle());
        shown.SetVisible(false);
        hidden.SetVisible(true);
        EXPECT_FALSE(shown.Visible());
        EXPECT_TRUE(hidden.Visible());
    }
    EXPECT_FALSE(OwnVisible(shown.Handle()));
    EXPECT_TRUE(OwnVisible(hidden.Handle()));
    // A list that is shown is redrawn again; one that is hidden is not, until it is shown.
    EXPECT_FALSE(RedrawHeld(hidden.Handle()));
    EXPECT_TRUE(RedrawHeld(shown.Handle()));
    shown.SetVisible(true);
    EXPECT_FALSE(RedrawHeld(shown.Handle()));
    EXPECT_TRUE(shown.Visible());
}

TEST_F(ListBatch, AStepRunsOnTheThreadOfAnyWindowOfTheProcess)
{
    // A form's window thread, from a worker.
    DWORD ranOn = 0;
    FromWorker([&] { EXPECT_TRUE(RunOnWindowThread(form.Control("成交信息").Handle(), [&] { ranOn = GetCurrentThreadId(); })); });
    EXPECT_EQ(ranOn, GetCurrentThreadId());

    // A plain window of a thread that is no window thread of the forms runtime.
    std::atomic<HWND> plain{nullptr};
    std::atomic<bool> stop{false};
    std::atomic<DWORD> plainThread{0};
    std::thread owner([&] {
        plainThread = GetCurrentThreadId();
        plain = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        while (!stop) PumpFor(5);
        DestroyWindow(plain);
    });
    ASSERT_TRUE(PumpUntil([&] { return plain.load() != nullptr; }, 5000));
    ranOn = 0;
    EXPECT_TRUE(RunOnWindowThread(plain.load(), [&] { ranOn = GetCurrentThreadId(); }));
    EXPECT_EQ(ranOn, plainThread.load());
    stop = true;
    owner.join();

    // A window that is gone runs nothing.
    bool ran = false;
    EXPECT_FALSE(RunOnWindowThread(plain.load(), [&] { ran = true; }));
    EXPECT_FALSE(ran);
}

}  // namespace
