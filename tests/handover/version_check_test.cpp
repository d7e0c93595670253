// The version check against a loopback server: a newer, the same and no version, the question
// answered OK or Cancel, the updater written byte for byte and started, the timer's single tick and
// the button.
#include "client/main_window.h"
#include "client/program_state.h"
#include "client/update_check.h"
#include "helpers/hosts.h"
#include "handover_fixture.h"
#include "resources/updater_image.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using handover_test::FileBytes;
using handover_test::FilesIn;
using handover_test::TempFolder;

namespace {

class VersionCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", server.HostAndPort().c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", nullptr); }

    void ServeVersion(LoopbackReply reply) { server.SetReply(kVersionPagePath, std::move(reply)); }

    // The boxes shown so far, as "text|title|style".
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> out;
        for (const auto& call : boxes.Calls())
            out.push_back(call.text + "|" + call.title + "|" + std::to_string(call.style));
        return out;
    }

    Text UpdaterPath() const { return folder.Path() + "\\Brelmor自动更新.exe"; }

    LoopbackHttpServer server;
    TempFolder folder{"ver_"};
    seams_test::MessageBoxRecorder boxes;
    seams_test::ProgramStartRecorder starts;
};

const std::string kQuestion = std::string(kNewReleaseQuestion) + "|友情提示|1";  // OK and Cancel, no icon

std::string CarriedUpdater() { return std::string(reinterpret_cast<const char*>(EmbeddedUpdater), EmbeddedUpdater_size); }

}  // namespace

TEST(UpdaterImage, IsTheBuiltUpdaterByteForByte)
{
    const std::string built = FileBytes(handover_test::BuiltUpdater());
    ASSERT_GT(built.size(), 100000u);
    EXPECT_EQ(built.substr(0, 2), "MZ");
    EXPECT_TRUE(CarriedUpdater() == built);
    EXPECT_STREQ(kProgramVersion, "2.034");
    EXPECT_EQ(VersionPageUrl(), "http://" + Text(MakerHost()) + "/NetWork/qelsoft/5173/ver.asp");
}

// Every reply but exactly "2.034" is a new release (no trimming, no number reading); an empty reply is
// no answer. On OK the carried updater is written beside the program and started, its path quoted.
TEST_F(VersionCheck, Replies)
{
    const struct {
        const char* what;
        LoopbackReply reply;
        UpdateCheckKind kind;
        std::vector<std::string> boxes;
        bool handedOver;
    } cases[] = {
        {"newer, after start-up", LoopbackReply::Ok("2.035"), UpdateCheckKind::Silent, {kQuestion}, true},
        {"newer, on the button", LoopbackReply::Ok("2.035"), UpdateCheckKind::Manual, {kQuestion}, true},
        {"own version and a line break", LoopbackReply::Ok("2.034\r\n"), UpdateCheckKind::Silent, {kQuestion}, true},
        {"a number of the same value", LoopbackReply::Ok("2.0340"), UpdateCheckKind::Manual, {kQuestion}, true},
        {"an error page", LoopbackReply::Status(500, "Internal Server Error"), UpdateCheckKind::Silent, {kQuestion}, true},
        {"the same, after start-up", LoopbackReply::Ok("2.034"), UpdateCheckKind::Silent, {}, false},
        {"the same, on the button", LoopbackReply::Ok("2.034"), UpdateCheckKind::Manual,
         {"当前版本已是最新版本|友情提示|64"}, false},
        {"an empty reply, after start-up", LoopbackReply::Ok(""), UpdateCheckKind::Silent, {}, false},
        {"an empty reply, on the button", LoopbackReply::Ok(""), UpdateCheckKind::Manual,
         {"检查更新失败，请稍后重试。|友情提示|48"}, false},
    };
    for (const auto& c : cases) {
        TempFolder dir("ver_");
        seams_test::MessageBoxRecorder caseBoxes;
        seams_test::ProgramStartRecorder caseStarts;
        ServeVersion(c.reply);
        const Text updater = dir.Path() + "\\Brelmor自动更新.exe";
        const size_t requests = server.RequestCount();

        RunUpdateCheck(c.kind, dir.Path());

        ASSERT_EQ(server.RequestCount(), requests + 1) << c.what;
        EXPECT_EQ(server.Requests().back().requestLine, "GET /NetWork/qelsoft/5173/ver.asp HTTP/1.1") << c.what;
        std::vector<std::string> shown;
        for (const auto& call : caseBoxes.Calls())
            shown.push_back(call.text + "|" + call.title + "|" + std::to_string(call.style));
        EXPECT_EQ(shown, c.boxes) << c.what;
        if (c.handedOver) {
            EXPECT_TRUE(FileBytes(updater) == CarriedUpdater()) << c.what;
            EXPECT_EQ(FilesIn(dir.Path()), std::vector<Text>{"Brelmor自动更新.exe"}) << c.what;
            ASSERT_EQ(caseStarts.Calls().size(), 1u) << c.what;
            EXPECT_EQ(caseStarts.Calls()[0].commandLine, "\"" + updater + "\"") << c.what;
            EXPECT_EQ(caseStarts.Calls()[0].inputIdleWaitMs, 1000) << c.what;
        } else {
            EXPECT_TRUE(FilesIn(dir.Path()).empty()) << c.what;
            EXPECT_TRUE(caseStarts.Calls().empty()) << c.what;
        }
    }
}

// No server at all reads as an empty reply.
TEST_F(VersionCheck, NoServer)
{
    SetEnvironmentVariableA("QUOVANTA_MAKER_HOST", "127.0.0.1:1");
    RunUpdateCheck(UpdateCheckKind::Silent, folder.Path());
    EXPECT_TRUE(boxes.Calls().empty());
    RunUpdateCheck(UpdateCheckKind::Manual, folder.Path());
    EXPECT_EQ(Boxes(), std::vector<std::string>{"检查更新失败，请稍后重试。|友情提示|48"});
    EXPECT_TRUE(starts.Calls().empty());
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

// Cancel writes nothing and starts nothing, also where an older updater file lies.
TEST_F(VersionCheck, CancelWritesAndStartsNothing)
{
    ServeVersion(LoopbackReply::Ok("2.035"));
    ASSERT_TRUE(WriteWholeFile(UpdaterPath(), "an older updater", 16));
    boxes.Answer(IDCANCEL);
    RunUpdateCheck(UpdateCheckKind::Manual, folder.Path());
    EXPECT_EQ(Boxes(), std::vector<std::string>{kQuestion});
    EXPECT_EQ(FileBytes(UpdaterPath()), "an older updater");
    EXPECT_TRUE(starts.Calls().empty());
}

// OK replaces an updater file that is there, and leaves nothing else behind.
TEST_F(VersionCheck, OkReplacesAnOlderUpdater)
{
    ServeVersion(LoopbackReply::Ok("2.1"));
    ASSERT_TRUE(WriteWholeFile(UpdaterPath(), "an older updater", 16));
    RunUpdateCheck(UpdateCheckKind::Silent, folder.Path());
    EXPECT_TRUE(FileBytes(UpdaterPath()) == CarriedUpdater());
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<Text>{"Brelmor自动更新.exe"});
    EXPECT_EQ(starts.Calls().size(), 1u);
}

// OK while an updater started earlier still runs from the file: the file stays as it is (no
// temporary file is left either) and that file is started again.
TEST_F(VersionCheck, OkWhileTheUpdaterRuns)
{
    ServeVersion(LoopbackReply::Ok("2.035"));
    ASSERT_TRUE(CopyFileA(handover_test::Sleeper().c_str(), UpdaterPath().c_str(), FALSE));
    const std::string running = FileBytes(UpdaterPath());
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + UpdaterPath() + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForInputIdle(pi.hProcess, 5000);

    RunUpdateCheck(UpdateCheckKind::Silent, folder.Path());

    EXPECT_TRUE(FileBytes(UpdaterPath()) == running);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<Text>{"Brelmor自动更新.exe"});
    ASSERT_EQ(starts.Calls().size(), 1u);
    EXPECT_EQ(starts.Calls()[0].commandLine, "\"" + UpdaterPath() + "\"");
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// ------------------------------------------------------------------ on a window
namespace {

class UpdateWindow : public VersionCheck {
protected:
    void SetUp() override
    {
        VersionCheck::SetUp();
        WindowLayout layout{"版本检查", {50, 50, 300, 200}, true, {}};
        layout.Add(ui::Button("按钮_检查更新", "自动更新", {10, 10, 110, 30}));
        layout.Add(ui::Timer("时钟1", 0));
        EventTable events;
        BindUpdateCheckEvents(events);
        form = LoadForm(layout, events);
        ASSERT_TRUE(form.IsOpen());
    }
    void TearDown() override
    {
        if (form.IsOpen())
            form.Destroy();
        VersionCheck::TearDown();
    }
    Form form;
};

}  // namespace

// The timer ticks once: its first tick stops it and runs the silent check, which says nothing about
// the same version. The button's check says it.
TEST_F(UpdateWindow, TimerTicksOnceAndTheButtonChecks)
{
    ServeVersion(LoopbackReply::Ok("2.034"));
    form.Control("时钟1").SetInterval(50);
    ASSERT_TRUE(PumpUntil([&] { return server.RequestCount() == 1; }));
    EXPECT_EQ(form.Control("时钟1").Interval(), 0);
    PumpFor(500);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_TRUE(boxes.Calls().empty());

    form.Raise("按钮_检查更新", Event::Click);
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"当前版本已是最新版本|友情提示|64"});
}

// While the page is fetched the window goes on handling its messages: a second click then is left
// out (the running check answers), and a window closed meanwhile gets no box.
TEST_F(UpdateWindow, WhileThePageIsFetched)
{
    LoopbackReply slow = LoopbackReply::Ok("2.034");
    slow.delayMs = 1000;
    ServeVersion(slow);
    HWND button = form.Control("按钮_检查更新").Handle();
    PostMessageA(button, BM_CLICK, 0, 0);
    form.Raise("按钮_检查更新", Event::Click);
    PumpFor(200);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"当前版本已是最新版本|友情提示|64"});

    LoopbackReply slowNewer = LoopbackReply::Ok("2.035");
    slowNewer.delayMs = 1000;
    ServeVersion(slowNewer);
    PostMessageA(form.Handle(), WM_CLOSE, 0, 0);
    form.Raise("按钮_检查更新", Event::Click);
    EXPECT_FALSE(form.IsOpen());
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(boxes.Calls().size(), 1u);
    EXPECT_TRUE(starts.Calls().empty());
}

// The button pressed while the start-up check still waits for the page: that check answers as the
// button's would, once.
TEST_F(UpdateWindow, TheButtonDuringTheSilentCheckGetsItsAnswer)
{
    for (const char* reply : {"2.034", ""}) {
        SCOPED_TRACE(reply);
        const std::size_t before = Boxes().size();
        server.ClearRequests();
        LoopbackReply slow = LoopbackReply::Ok(reply);
        slow.delayMs = 800;
        ServeVersion(slow);
        HWND button = form.Control("按钮_检查更新").Handle();
        PostMessageA(button, BM_CLICK, 0, 0);  // handled while the silent check waits
        CheckForUpdateSilently(form);
        PumpFor(100);
        EXPECT_EQ(server.RequestCount(), 1u);
        const std::vector<std::string> shown = Boxes();
        ASSERT_EQ(shown.size(), before + 1);
        EXPECT_EQ(shown.back(), *reply ? "当前版本已是最新版本|友情提示|64" : "检查更新失败，请稍后重试。|友情提示|48");
    }
}

// A check whose request runs out of memory reads as no answer, and the next check runs.
TEST_F(UpdateWindow, ACheckOutOfMemoryIsAFailedCheck)
{
    ServeVersion(LoopbackReply::Ok("2.034"));
    {
        seams_test::RequestFailure failure("/ver.asp", 1);
        form.Raise("按钮_检查更新", Event::Click);
        EXPECT_EQ(failure.Failures(), 1);
    }
    form.Raise("按钮_检查更新", Event::Click);
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"检查更新失败，请稍后重试。|友情提示|48", "当前版本已是最新版本|友情提示|64"}));
}
