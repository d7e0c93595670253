// Workers write controls while the window thread runs; a closed window's controls ignore them; the run
// control pauses, resumes and stops a run at its safe points, and a run out of memory ends alone.
#include "runtime/workers.h"
#include "forms/every_kind.h"
#include "support/pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

namespace {

WindowLayout SmallLayout(const char* title)
{
    WindowLayout w{title, {60, 60, 400, 300}, true, {}};
    w.Add(ui::ListView("成交信息", {0, 0, 390, 200}, {{"序号", 40}, {"商品名称", 150}, {"价格", 60}}));
    w.Add(ui::Label("状态", "", {0, 210, 300, 20}));
    w.Add(ui::StatusBar("状态条1", {0, 0, 0, 0}, {150, 150, -1}));
    return w;
}

TEST(FormWorkers, WorkerWritesListViewAndLabelWhileTheWindowRuns)
{
    Form f = LoadForm(SmallLayout("工作线程"));
    Control list = f.Control("成交信息");
    Control label = f.Control("状态");
    std::atomic<bool> done{false};
    std::atomic<int> clicks{0};
    f.On("", Event::Destroyed, [](const EventArgs&) {});
    ASSERT_TRUE(StartWorker([&] {
        label.SetText("正在查询，请等待.....");
        f.Control("状态条1").SetPartText(1, "正在查询，请等待.....");
        for (int i = 1; i <= 200; ++i) {
            int row = list.InsertRow(0, std::to_string(i));
            list.SetCell(row, 1, "商品" + std::to_string(i));
            list.SetCell(row, 2, std::to_string(i * 10));
        }
        label.SetText("查询完毕！");
        done = true;
    }));
    // The window thread stays responsive meanwhile: its own messages are handled between the worker's.
    HWND h = f.Handle();
    while (!done) {
        PostMessageA(h, WM_NULL, 0, 0);
        ++clicks;
        PumpFor(1);
    }
    PumpFor(20);
    EXPECT_GT(clicks.load(), 0);
    EXPECT_EQ(list.RowCount(), 200);
    EXPECT_EQ(list.Cell(0, 0), "200");
    EXPECT_EQ(list.Cell(0, 1), "商品200");
    EXPECT_EQ(list.Cell(199, 2), "10");
    EXPECT_EQ(label.GetText(), "查询完毕！");
    EXPECT_EQ(f.Control("状态条1").PartText(1), "正在查询，请等待.....");
    // Reads from the worker come from the window thread too.
    std::atomic<int> readRows{-1};
    Text readCell;
    StartWorker([&] {
        readCell = list.Cell(5, 1);
        readRows = list.RowCount();
    });
    PumpUntil([&] { return readRows.load() >= 0; });
    EXPECT_EQ(readRows.load(), 200);
    EXPECT_EQ(readCell, "商品195");
    f.Destroy();
}

TEST(FormWorkers, ClosedWindowIgnoresItsWorkers)
{
    Form f = LoadForm(SmallLayout("将被关闭"));
    Control list = f.Control("成交信息");
    Control label = f.Control("状态");
    std::atomic<bool> closed{false};
    std::atomic<int> written{0};
    std::atomic<bool> finished{false};
    std::atomic<int> afterClose{-1};
    HANDLE worker = StartWorkerKept([&] {
        for (int i = 0; i < 100000 && !finished; ++i) {
            list.InsertRow(0, "行");
            label.SetText("写入中");
            ++written;
            if (closed && afterClose < 0) {
                // Once the window is gone every read is empty and nothing is written.
                afterClose = list.RowCount() + static_cast<int>(label.GetText().size());
                list.SetCell(0, 0, "x");
                finished = true;
            }
        }
    });
    ASSERT_NE(worker, nullptr);
    PumpUntil([&] { return written.load() > 20; });
    f.Destroy();  // while the worker is in the middle of its writes
    closed = true;
    ASSERT_TRUE(WaitHandlePumping(worker, 10000));
    CloseHandle(worker);
    EXPECT_EQ(afterClose.load(), 0);
    EXPECT_FALSE(list.IsAlive());
    EXPECT_EQ(list.Handle(), nullptr);
    EXPECT_EQ(list.Cell(0, 0), "");
}

TEST(FormWorkers, StaleControlNeverWritesIntoANewWindow)
{
    // The new window may well get the handles of the old one; the old controls must not reach it.
    Form old = LoadForm(SmallLayout("旧窗口"));
    Control oldLabel = old.Control("状态");
    Control oldList = old.Control("成交信息");
    old.Destroy();
    Form fresh = LoadForm(SmallLayout("新窗口"));
    fresh.Control("状态").SetText("新的");
    std::atomic<bool> done{false};
    StartWorker([&] {
        oldLabel.SetText("旧的");
        oldList.InsertRow(0, "旧");
        oldLabel.SetVisible(false);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    oldLabel.SetText("旧的");  // and from the window thread itself
    EXPECT_EQ(fresh.Control("状态").GetText(), "新的");
    EXPECT_TRUE(fresh.Control("状态").Visible());
    EXPECT_EQ(fresh.Control("成交信息").RowCount(), 0);
    fresh.Destroy();
}

TEST(FormWorkers, RunControlPausesResumesAndStopsAtSafePoints)
{
    RunControl run;
    std::atomic<int> rows{0};
    std::atomic<bool> ended{false};
    ASSERT_TRUE(run.Start([&](const RunToken& token) {
        while (token.Checkpoint()) {
            ++rows;
            Sleep(2);
        }
        ended = true;
    }));
    EXPECT_FALSE(run.Start([](const RunToken&) {}));  // one run at a time
    PumpUntil([&] { return rows.load() > 5; });
    run.Pause();
    EXPECT_TRUE(run.IsPaused());
    PumpFor(50);
    int atPause = rows.load();
    PumpFor(100);
    EXPECT_LE(rows.load(), atPause + 1);  // at most the row that was under way
    run.Resume();
    PumpUntil([&] { return rows.load() > atPause + 5; });
    run.Pause();
    run.Stop();  // a stop releases a paused run, whose checkpoint reports it
    EXPECT_TRUE(run.Join(5000));
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(run.IsRunning());
    EXPECT_FALSE(run.IsPaused());

    // After the end a new run can start.
    std::atomic<bool> second{false};
    ASSERT_TRUE(run.Start([&](const RunToken& token) { second = token.Checkpoint(); }));
    EXPECT_TRUE(run.Join(5000));
    EXPECT_TRUE(second.load());
}

TEST(FormWorkers, ARunOutOfMemoryEndsAloneAndItsGuardsRun)
{
    // Each guard learns whether the worker fails through it; the run's end lets the next run start.
    std::atomic<int> failedEnds{0}, plainEnds{0};
    RunControl run;
    ASSERT_TRUE(run.Start([&](const RunToken&) {
        const RunEnd outer([&](bool failed) { ++(failed ? failedEnds : plainEnds); });
        {
            const RunEnd inner([&](bool failed) { ++(failed ? failedEnds : plainEnds); });
        }
        throw std::bad_alloc();
    }));
    EXPECT_TRUE(run.Join(5000));
    EXPECT_FALSE(run.IsRunning());
    EXPECT_EQ(failedEnds.load(), 1);
    EXPECT_EQ(plainEnds.load(), 1);

    std::atomic<bool> second{false};
    ASSERT_TRUE(run.Start([&](const RunToken& token) { second = token.Checkpoint(); }));
    EXPECT_TRUE(run.Join(5000));
    EXPECT_TRUE(second.load());
}

TEST(FormWorkers, WorkerOfAPausedRunStillLetsTheWindowWork)
{
    // A run writing a list view is paused and stopped from window-thread handlers.
    Form f = LoadForm(SmallLayout("运行控制"));
    Control list = f.Control("成交信息");
    RunControl run;
    run.Start([list](const RunToken& token) {
        for (int i = 0; token.Checkpoint(); ++i)
            list.InsertRow(-1, std::to_string(i));
    });
    PumpUntil([&] { return list.RowCount() > 10; });
    run.Pause();
    PumpFor(50);
    int paused = list.RowCount();
    PumpFor(100);
    EXPECT_LE(list.RowCount(), paused + 1);
    f.Destroy();  // closing the window while the run is paused
    run.Stop();
    EXPECT_TRUE(run.Join(5000));
}

}  // namespace
