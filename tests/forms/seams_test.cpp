// The seams answer through a test's recorders, and the real ones behave as the programs need.
#include "runtime/seams.h"
#include "runtime/workers.h"
#include "forms/every_kind.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace seams_test;

namespace {

TEST(Seams, MessageBoxRecorderAnswers)
{
    MessageBoxRecorder boxes;
    boxes.Answer(IDNO);
    EXPECT_EQ(ShowMessageBox("是否强制结束继续进行更新?", "程序正在运行", 0x44), IDNO);
    EXPECT_EQ(ShowMessageBox("发现新目标订单，单价为： 1.5", "注意"), IDOK);
    EXPECT_EQ(ShowMessageBox("需停止查询"), IDOK);
    EXPECT_EQ(ShowMessageBox("确认?", "问", MB_YESNO), IDYES);
    auto calls = boxes.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].style, 0x44u);
    EXPECT_EQ(calls[1].title, "注意");
    EXPECT_EQ(calls[2].title, "信息：");  // a box without a title of its own
    EXPECT_LT(calls[0].sequence, calls[1].sequence);
}

TEST(Seams, RecordersPutThePreviousSeamBack)
{
    MessageBoxRecorder outer;
    {
        MessageBoxRecorder inner;
        ShowMessageBox("inner");
        EXPECT_EQ(inner.Calls().size(), 1u);
    }
    ShowMessageBox("outer");
    EXPECT_EQ(outer.Calls().size(), 1u);
    EXPECT_EQ(outer.Calls()[0].text, "outer");
}

TEST(Seams, RealMessageBoxHasNoOwnerAndTheDefaultTitle)
{
    // A helper thread answers the real box the way a user would.
    std::atomic<bool> ownerless{false};
    std::atomic<bool> found{false};
    std::thread user([&] {
        for (int i = 0; i < 500 && !found; ++i) {
            Sleep(10);
            HWND box = FindWindowA("#32770", "信息：");
            if (box) {
                found = true;
                ownerless = GetWindow(box, GW_OWNER) == nullptr;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
        }
    });
    int answer = ShowMessageBox("请等成交信息获取完毕后再查找！");
    user.join();
    EXPECT_TRUE(found.load());
    EXPECT_TRUE(ownerless.load());
    EXPECT_EQ(answer, IDOK);
}

TEST(Seams, FileDialogControlAsksThroughTheSeam)
{
    Form f = LoadForm(EveryKindLayout());
    Control dialog = f.Control("通用对话框1");
    FileDialogRecorder files;
    Text name = "成交量-游戏-BrelmorQuovanta";
    EXPECT_FALSE(dialog.AskSaveFile(name));  // cancelled: the name stays
    EXPECT_EQ(name, "成交量-游戏-BrelmorQuovanta");
    files.Choose("C:\\导出\\成交量.xls");
    EXPECT_TRUE(dialog.AskSaveFile(name));
    EXPECT_EQ(name, "C:\\导出\\成交量.xls");
    auto calls = files.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].request.title, "导出资料");
    EXPECT_EQ(calls[0].request.filter, "*.xls");
    EXPECT_EQ(calls[0].request.defaultExtension, "xls");
    EXPECT_EQ(calls[0].request.fileName, "成交量-游戏-BrelmorQuovanta");
    EXPECT_EQ(calls[0].request.owner, f.Handle());
    // Asked from a worker, the dialog still belongs to the window.
    std::atomic<bool> done{false};
    StartWorker([&] {
        Text n = "x";
        dialog.AskSaveFile(n);
        done = true;
    });
    PumpUntil([&] { return done.load(); });
    EXPECT_EQ(files.Calls().size(), 3u);
    f.Destroy();
    Text after = "y";
    EXPECT_FALSE(dialog.AskSaveFile(after));  // a closed window asks nothing
    EXPECT_EQ(files.Calls().size(), 3u);
}

TEST(Seams, ShellSoundAndWaitRecorders)
{
    ShellOpenRecorder shell;
    SoundRecorder sound;
    WaitRecorder waits;
    MessageBoxRecorder boxes;
    PlaySoundFile("C:\\Quovanta\\alarm.mp3");
    ShowMessageBox("发现新目标订单，单价为： 1.5", "注意");
    StopAllSounds();
    EXPECT_TRUE(OpenInShell("http://www.example.com/"));
    WaitMilliseconds(1000);
    auto played = sound.Calls();
    ASSERT_EQ(played.size(), 2u);
    EXPECT_TRUE(played[0].play);
    EXPECT_EQ(played[0].file, "C:\\Quovanta\\alarm.mp3");
    EXPECT_FALSE(played[1].play);
    // The sound starts before the box and stops after it.
    EXPECT_LT(played[0].sequence, boxes.Calls()[0].sequence);
    EXPECT_GT(played[1].sequence, boxes.Calls()[0].sequence);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].address, "http://www.example.com/");
    ASSERT_EQ(waits.Calls().size(), 1u);
    EXPECT_EQ(waits.Calls()[0].milliseconds, 1000);
}

TEST(Seams, RealWaitKeepsHandlingMessages)
{
    WindowLayout w{"等待", {50, 50, 200, 100}, true, {}};
    w.Add(ui::Timer("时钟1", 10));
    int ticks = 0;
    Form f = LoadForm(w, {{"时钟1", Event::Tick, [&](const EventArgs&) { ++ticks; }}});
    DWORD start = GetTickCount();
    WaitMilliseconds(200);
    DWORD spent = GetTickCount() - start;
    EXPECT_GE(spent, 190u);
    EXPECT_GT(ticks, 3);  // the timer kept ticking during the wait
    f.Destroy();
}

TEST(Seams, RealSoundFailsQuietlyWithoutAFile)
{
    EXPECT_FALSE(PlaySoundFile("C:\\no\\such\\alarm.mp3"));
    StopAllSounds();
}

}  // namespace
