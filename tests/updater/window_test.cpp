// The updater's window: its controls as the created handler leaves them, the two buttons that end the
// program, and the exit clean-up.
#include "updater/state.h"
#include "updater_fixture.h"

#include <gtest/gtest.h>
#include <commctrl.h>

using updater_test::UpdaterFixture;

namespace {

class UpdaterWindowTest : public UpdaterFixture {
protected:
    void SetUp() override
    {
        UpdaterFixture::SetUp();
        ServeDescription(replica::ReleaseVariant::Standard);
        WriteInstalledVersion("2.034");
        ASSERT_TRUE(Load().IsOpen());
    }
};

Text FaceName(HWND hwnd)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (!font || !GetObjectA(font, sizeof(lf), &lf))
        return Text();
    return lf.lfFaceName;
}

}  // namespace

TEST_F(UpdaterWindowTest, Controls)
{
    EXPECT_EQ(form.Title(), "Brelmor Quovanta 在线升级程序");
    RECT frame, area;
    GetWindowRect(form.Handle(), &frame);
    GetClientRect(form.Handle(), &area);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_TRUE(IsWindowVisible(form.Handle()));

    EXPECT_EQ(C("高级选择夹1").Items(), (TextArray{"更新下载", "更新完成"}));
    EXPECT_EQ(C("高级选择夹1").Selection(), 0);
    // The page control fills the window's client area of 500 x 400, widened so that its pages hold the
    // pictures of 500 pixels placed on them.
    const Bounds tab = C("高级选择夹1").GetBounds();
    EXPECT_EQ(tab, (Bounds{0, 0, area.right, area.bottom}));
    EXPECT_GT(tab.width, 500);
    EXPECT_EQ(tab.height, 400);
    EXPECT_EQ(FaceName(C("高级选择夹1").Handle()), "宋体");

    const struct {
        const char* name;
        const char* caption;
        Bounds bounds;
    } controls[] = {
        {"已下载", "...", {10, 230, 250, 65}},
        {"按钮1", "退出更新", {325, 335, 65, 25}},
        {"开始更新", "开始更新", {415, 335, 65, 25}},
        {"透明标签1", nullptr, {0, 100, 280, 70}},
        {"选择框1", "自动运行", {280, 315, 70, 20}},
        {"完成", "完成更新", {360, 310, 100, 30}},
        {"标签_公告", nullptr, {10, 110, 475, 120}},
        {"图片框_logo", nullptr, {0, 0, 500, 100}},
        {"图片框2", nullptr, {0, 0, 500, 100}},
        {"进度条1", nullptr, {10, 295, 475, 24}},
    };
    for (const auto& c : controls) {
        EXPECT_TRUE(C(c.name).IsAlive()) << c.name;
        if (c.caption) {
            EXPECT_EQ(C(c.name).GetText(), c.caption) << c.name;
        }
        EXPECT_EQ(C(c.name).GetBounds(), c.bounds) << c.name;
    }
    EXPECT_TRUE(C("选择框1").Checked());
    EXPECT_TRUE(C("开始更新").Enabled());
    EXPECT_EQ(C("进度条1").Minimum(), 0);
    EXPECT_EQ(C("进度条1").Maximum(), 100);
    EXPECT_EQ(C("进度条1").Position(), 0);
    EXPECT_EQ(C("图片框_logo").PictureSize().cx, 500);  // the banner from the server
    EXPECT_EQ(C("图片框_logo").PictureSize().cy, 100);
    EXPECT_EQ(C("图片框2").PictureSize().cx, 500);      // the carried bitmap
    EXPECT_EQ(C("图片框2").PictureSize().cy, 100);
    // Page 1 holds the closing controls, page 0 the rest.
    EXPECT_FALSE(IsWindowVisible(C("完成").Handle()));
    EXPECT_TRUE(IsWindowVisible(C("开始更新").Handle()));
}

// A description without ok empties the closing notice (the layout's own caption is 更新完成提示语);
// without a banner on the server the picture box stays empty.
TEST_F(UpdaterFixture, LayoutCaptionsAndMissingBanner)
{
    server.SetReply(updater_test::kLogoPath, LoopbackReply::Status(404, "Not Found"));
    ServeDescription("<upconfig><upconfig ver=\"2.035\"/><name exename=\"Quovanta.exe\"/></upconfig>");
    Load();
    EXPECT_FALSE(C("图片框_logo").HasPicture());
    EXPECT_EQ(C("透明标签1").GetText(), "");
    EXPECT_TRUE(form.IsOpen());

    form.Destroy();
    Form bare = LoadForm(updater::UpdaterWindowLayout());
    EXPECT_EQ(bare.Control("透明标签1").GetText(), "更新完成提示语");
    bare.Destroy();
}

// 退出更新 ends the program with exit code 0 and nothing else.
TEST_F(UpdaterWindowTest, QuitEndsTheProgram)
{
    form.Raise("按钮1", Event::Click);
    ASSERT_EQ(ends.Calls().size(), 1u);
    EXPECT_EQ(ends.Calls()[0].exitCode, 0);
    EXPECT_TRUE(starts.Calls().empty());
    EXPECT_TRUE(boxes.Calls().empty());
}

// 完成更新: with 自动运行 the main program starts, its path in quotes; the close happens when the
// window's messages are next handled. Unticked, nothing starts. A failed start is reported first.
TEST_F(UpdaterWindowTest, FinishStartsTheProgramAndCloses)
{
    form.Raise("完成", Event::Click);
    ASSERT_EQ(starts.Calls().size(), 1u);
    EXPECT_EQ(starts.Calls()[0].commandLine, "\"" + dir + "\\Quovanta.exe\"");
    EXPECT_EQ(starts.Calls()[0].inputIdleWaitMs, 1000);
    EXPECT_TRUE(form.IsOpen());  // a request, carried out by the message loop
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
    EXPECT_TRUE(boxes.Calls().empty());
    EXPECT_TRUE(ends.Calls().empty());
}

TEST_F(UpdaterWindowTest, FinishWithoutAutoRunStartsNothing)
{
    C("选择框1").SetChecked(false);
    form.Raise("完成", Event::Click);
    EXPECT_TRUE(starts.Calls().empty());
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
}

TEST_F(UpdaterWindowTest, FailedStartIsReported)
{
    starts.Succeed(false);
    form.Raise("完成", Event::Click);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"程序运行失败,请手动运行!|失败|48"});
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
}

// The exit clean-up frees everything once: the skin library is told to detach once, its memory goes,
// and a second run finds nothing to free.
TEST_F(UpdaterWindowTest, ExitCleanUpRunsOnce)
{
    const uintptr_t skinBase = updater::SkinModule->GetHandle();
    ASSERT_NE(skinBase, 0u);
    EXPECT_EQ(updater_test::EntryCalls[1], 1);
    EXPECT_FALSE(updater::UpdateInfo.exename.empty());
    updater::FreeUpdaterGlobals();
    EXPECT_EQ(updater_test::EntryCalls[0], 1);
    EXPECT_EQ(updater::SkinModule, nullptr);
    EXPECT_EQ(updater::ReleaseDoc, nullptr);
    for (const Text* t : {&updater::UpdateInfo.ver, &updater::UpdateInfo.exename, &updater::UpdateInfo.downurl,
                          &updater::UpdateInfo.updateat, &updater::UpdateInfo.at, &updater::UpdateInfo.ok})
        EXPECT_TRUE(t->empty());
    MEMORY_BASIC_INFORMATION info = {};
    VirtualQuery(reinterpret_cast<void*>(skinBase), &info, sizeof(info));
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
    updater::FreeUpdaterGlobals();
    EXPECT_EQ(updater_test::EntryCalls[0], 1);
}

namespace {

// A top-level window of another process with this class and title (GBK), or nullptr.
HWND FindBox(const char* title)
{
    return FindWindowA("#32770", title);
}

}  // namespace

// The program itself, from a folder of its own: it maps the carried skin library, reads the
// description from the maker's server, finds its version installed, says so and ends with exit code 0
// (the exit clean-up unloading the skin library on the way).
TEST_F(UpdaterFixture, TheProgramItselfEndsWhenUpToDate)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    Text built = self;
    built = built.substr(0, built.find_last_of('\\')) + "\\..\\updater\\Brelmor自动更新.exe";
    const Text program = dir + "\\Brelmor自动更新.exe";
    ASSERT_TRUE(CopyFileA(built.c_str(), program.c_str(), FALSE)) << built;
    ServeDescription(replica::ReleaseVariant::Standard);
    WriteInstalledVersion("2.035");

    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + program + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));
    HWND box = nullptr;
    PumpUntil([&] { return (box = FindBox("友情提示")) != nullptr; }, 20000);
    ASSERT_NE(box, nullptr);
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));  // the box's static text
    EXPECT_STREQ(text, "当前版本已是最新版本");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Path(), updater_test::kLogoPath);
    EXPECT_EQ(requests[1].Path(), updater_test::kDescriptionPath);
}
