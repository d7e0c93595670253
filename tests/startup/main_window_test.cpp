// MainWindow as the created handler leaves it, the date key, the skin sliders, the update timer and
// ExportHelperWindow. The skin library is a recording stand-in, so the values passed can be seen.
#include "helpers/export_helper_window.h"
#include "client/main_window.h"
#include "client/program_state.h"
#include "helpers/skin.h"
#include "skin/recording_skin_library.h"
#include "replica/sample_data.h"
#include "support/pump.h"
#include "support/replica_loopback.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <set>
#include <string>

namespace {

// The version page names the program's own version, so the silent check after start-up (the tick of
// 时钟1, two seconds after start-up) says nothing.
std::optional<LoopbackReply> SameVersionPage(const LoopbackRequest& r)
{
    if (r.Path() == "/NetWork/qelsoft/5173/ver.asp")
        return LoopbackReply::Ok(kProgramVersion);
    return std::nullopt;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every outside host is the replica on the loopback interface.
        ASSERT_TRUE(replica_.Start());
        ResetRecordedSkinCalls();
        image_ = RecordingSkinLibrary();
        SetSkinLibraryImageForTesting(image_.data());
        DealQueryBusy = 1;
        form = LoadMainWindow();
        ASSERT_TRUE(form.IsOpen());
    }
    void TearDown() override
    {
        form.Destroy();
        MainWindow = Form();
        SetSkinLibraryImageForTesting(nullptr);
    }

    Control C(const char* name) const { return form.Control(name); }
    HWND H(const char* name) const { return form.Control(name).Handle(); }

    void Key(HWND control, UINT key) const
    {
        SendMessageA(control, WM_KEYDOWN, key, 0);
        SendMessageA(control, WM_KEYUP, key, 0);
    }

    ReplicaLoopback replica_{SameVersionPage};
    seams_test::MessageBoxRecorder boxes_;
    seams_test::ProgramStartRecorder starts_;
    std::vector<uint8_t> image_;
    Form form;
};

Text WindowText(HWND hwnd)
{
    char text[4096] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

}  // namespace

TEST_F(MainWindowTest, WindowPagesAndFrameControls)
{
    EXPECT_EQ(form.Title(), "Brelmor Quovanta v2.034");
    EXPECT_EQ(WindowText(form.Handle()), "Brelmor Quovanta v2.034");
    RECT frame, area;
    GetWindowRect(form.Handle(), &frame);
    GetClientRect(form.Handle(), &area);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(area.right, 1000);
    EXPECT_EQ(area.bottom, 640);
    EXPECT_TRUE(IsWindowVisible(form.Handle()));

    EXPECT_EQ(C("选择夹1").Items(), (TextArray{"5173成交量查询", "5173成交量统计", "5173价格监控",
                                              "游戏币装备 排行榜 交易行情", "留言口水", "检查更新说明"}));
    EXPECT_EQ(C("选择夹1").GetBounds(), (Bounds{0, 0, 1000, 640}));
    EXPECT_EQ(C("选择夹1").Selection(), 0);

    // The export panel: hidden by the created handler, its progress bar inside it.
    EXPECT_FALSE(C("分组框2").Visible());
    EXPECT_EQ(C("分组框2").GetText(), "正在导出Excel请稍后......");
    EXPECT_EQ(C("分组框2").GetBounds(), (Bounds{440, 300, 450, 65}));
    EXPECT_EQ(GetParent(H("进度条1")), H("分组框2"));
    EXPECT_EQ(C("进度条1").GetBounds(), (Bounds{5, 20, 440, 30}));

    EXPECT_EQ(C("通用对话框1").GetText(), "导出资料");
    EXPECT_EQ(C("通用对话框1").Kind(), ControlKind::FileDialog);

    HWND status = H("状态条1");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(SendMessageA(status, SB_GETPARTS, 0, 0), 3);
    for (int part = 0; part < 3; ++part) {
        C("状态条1").SetPartText(part, "第" + std::to_string(part) + "栏");
        EXPECT_EQ(C("状态条1").PartText(part), "第" + std::to_string(part) + "栏");
    }
    RECT statusRect;
    GetWindowRect(status, &statusRect);
    RECT client;
    GetClientRect(form.Handle(), &client);
    POINT bottom = {0, client.bottom};
    ClientToScreen(form.Handle(), &bottom);
    EXPECT_EQ(statusRect.bottom, bottom.y);  // along the bottom

    EXPECT_EQ(C("功能").Items(), (TextArray{"查看当前订单", "成交信息导出Excel"}));
    EXPECT_EQ(C("监控功能").Items(), (TextArray{"查看当前未交易订单", "未交易订单导出Excel"}));
    EXPECT_NE(C("功能").MenuHandle(), nullptr);
}

TEST_F(MainWindowTest, UpdatePageControls)
{
    const struct {
        const char* name;
        const char* caption;
    } captions[] = {
        {"按钮_检查更新", "自动更新"},
        {"按钮_手动更新", "手动更新"},
        {"标签40", "换肤功能[移动滑块条]"},
    };
    for (const auto& c : captions)
        EXPECT_EQ(C(c.name).GetText(), c.caption) << c.name;
    const Text about = C("标签38").GetText();
    for (const char* part : {"Quovanta v2.034", "成交量信息查询", "计算最小单价总价", "成交量统计", "未交易信息查询",
                             "支持价格监控低价报警", "游戏交易排行榜", "游戏交易行情", "17173新游戏交易行情",
                             "一键查询5173所有游戏交易量", "单独日期查询"})
        EXPECT_NE(about.find(part), Text::npos) << part;
    EXPECT_FALSE(C("标签39").GetText().empty());

    for (const char* slider : {"滑块条1", "滑块条2"}) {
        EXPECT_EQ(C(slider).Minimum(), 0) << slider;
        EXPECT_EQ(C(slider).Maximum(), 90) << slider;
        EXPECT_EQ(C(slider).Position(), 1) << slider;
    }
    // Every control lies on page 5 of the tab; page 5 is not the one shown.
    for (const char* name : {"按钮_检查更新", "按钮_手动更新", "标签38", "标签39", "标签40", "滑块条1", "滑块条2"}) {
        EXPECT_TRUE(IsChild(H("选择夹1"), H(name))) << name;
        EXPECT_FALSE(IsWindowVisible(H(name))) << name;
    }
    EXPECT_TRUE(IsChild(H("选择夹1"), H("日期框1")));
    EXPECT_TRUE(IsWindowVisible(H("日期框1")));
}

TEST_F(MainWindowTest, CreatedHandlerSkinsAndArmsTheUpdateTimer)
{
    // One attach with a hue from 0 to 180 and a second value from 0 to 180, the latter kept at 100.
    EXPECT_EQ(RecordedAttachCalls, 1);
    EXPECT_EQ(RecordedAdjustCalls, 1);
    EXPECT_EQ(RecordedEntryCalls[DLL_PROCESS_ATTACH], 1);
    EXPECT_GE(RecordedHue(), 0);
    EXPECT_LE(RecordedHue(), 180);
    EXPECT_GE(RecordedSecondValue(), 0);
    EXPECT_LE(RecordedSecondValue(), 100);
    EXPECT_EQ(RecordedAttachArgs[1], static_cast<uint32_t>(CarriedSkinData().size()));
    EXPECT_EQ(RecordedAttachArgs[2], 0u);

    EXPECT_EQ(C("透明标签_排序").GetText(), "降");
    EXPECT_EQ(GetFocus(), H("字母分类"));  // the user starts with the letter filter  // the sort direction of 成交信息 starts descending
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(MainWindow, form);
    EXPECT_EQ(DateKey, MakeDateKey(C("日期框1").Date()));

    // 时钟1 runs with 2000 ms; its first tick stops it, so the silent check comes once a run.
    EXPECT_EQ(C("时钟1").Interval(), 2000);
    EXPECT_TRUE(PumpUntil([&] { return C("时钟1").Interval() == 0; }, 6000));
    auto versionPageAsked = [&] {
        int n = 0;
        for (const LoopbackRequest& r : replica_.Server().Requests())
            n += r.Path() == "/NetWork/qelsoft/5173/ver.asp";
        return n;
    };
    EXPECT_TRUE(PumpUntil([&] { return versionPageAsked() == 1; }));
    EXPECT_TRUE(boxes_.Calls().empty());
    EXPECT_TRUE(starts_.Calls().empty());
}

// The start-up road: the created handler's worker fetches every game and fills the eight game lists.
TEST_F(MainWindowTest, StartUpLoadsTheGamesOfThePlatform)
{
    ASSERT_TRUE(PumpUntil([&] { return C("状态").GetText() == "游戏名 列表载入完成！"; }, 10000));
    const std::size_t games = SampleCatalogue()->Games().size();
    for (const char* list : {"游戏列表_游戏名_显", "游戏列表_游戏名_编号", "游戏列表_游戏名_隐", "游戏列表_游戏名_编号_隐",
                             "游戏列表_游戏名_显1", "游戏列表_游戏名_编号1", "游戏列表_游戏名_隐1",
                             "游戏列表_游戏名_编号_隐1"})
        EXPECT_EQ(static_cast<std::size_t>(C(list).ItemCount()), games) << list;
    EXPECT_EQ(C("状态条1").PartText(1), "游戏名 列表载入完成！");
    bool asked = false;
    for (const LoopbackRequest& r : replica_.Server().Requests())
        asked = asked || r.target.find("GETALLGAMESDATAv31") != std::string::npos;
    EXPECT_TRUE(asked);
    // The hidden lists stay hidden after their fill.
    EXPECT_FALSE(IsWindowVisible(H("游戏列表_游戏名_编号")));
    EXPECT_FALSE(C("游戏列表_游戏名_隐").Visible());
}

// The start-up colour is drawn anew at every start.
TEST_F(MainWindowTest, StartupHueIsDrawnAgainAtEveryStart)
{
    std::set<int> hues = {RecordedHue()};
    for (int start = 0; start < 4; ++start) {
        Sleep(40);
        form.Destroy();
        form = LoadMainWindow();
        EXPECT_GE(RecordedHue(), 0);
        EXPECT_LE(RecordedHue(), 180);
        hues.insert(RecordedHue());
    }
    EXPECT_GT(hues.size(), 1u);
    EXPECT_EQ(RecordedEntryCalls[DLL_PROCESS_ATTACH], 1);  // one mapping for all of them
}

TEST_F(MainWindowTest, SkinSlidersSetTheHue)
{
    C("选择夹1").SetSelection(kPageUpdate);
    const struct {
        const char* slider;
        UINT key;
        int position, hue;
    } moves[] = {
        {"滑块条1", VK_END, 90, 180}, {"滑块条1", VK_HOME, 0, 0},   {"滑块条2", VK_END, 90, -180},
        {"滑块条2", VK_HOME, 0, 0},   {"滑块条1", VK_RIGHT, 1, 2}, {"滑块条2", VK_RIGHT, 1, -2},
    };
    LONG attaches = RecordedAttachCalls;
    for (const auto& m : moves) {
        Key(H(m.slider), m.key);
        EXPECT_EQ(C(m.slider).Position(), m.position) << m.slider;
        EXPECT_EQ(RecordedHue(), m.hue) << m.slider << " at " << m.position;
        EXPECT_EQ(RecordedSecondValue(), 0);
        // Every move attaches the whole skin again before adjusting it.
        EXPECT_EQ(RecordedAttachCalls, ++attaches);
    }
    EXPECT_EQ(RecordedEntryCalls[DLL_PROCESS_ATTACH], 1);
    EXPECT_EQ(SkinHueOfSlider1(90), 180);
    EXPECT_EQ(SkinHueOfSlider2(90), -180);
    EXPECT_EQ(SkinHueOfSlider1(0), 0);
    EXPECT_EQ(SkinHueOfSlider2(0), 0);
}

TEST_F(MainWindowTest, DatePickerKeepsTheDateKey)
{
    const struct {
        DateTimeParts date;
        const char* key;
    } cases[] = {
        {{2015, 1, 7, 13, 5, 9}, "1-07"},
        {{2014, 12, 25, 0, 0, 0}, "12-25"},
        {{2016, 10, 1, 8, 0, 0}, "10-01"},
        {{2016, 2, 29, 12, 0, 0}, "2-29"},
        {{2016, 9, 30, 23, 59, 59}, "9-30"},
    };
    for (const auto& c : cases) {
        DateTime date;
        ASSERT_TRUE(MakeDateTime(c.date, date));
        C("日期框1").SetDate(date);
        form.Raise("日期框1", Event::DateChanged);
        EXPECT_EQ(DateKey, c.key);
        EXPECT_EQ(MakeDateKey(date), c.key);
    }
    // Half a second before midnight is still the same day.
    DateTime lastMoment;
    ASSERT_TRUE(MakeDateTime({2016, 12, 31, 0, 0, 0}, lastMoment));
    EXPECT_EQ(MakeDateKey(lastMoment + 0.99999), "12-31");
}

// Closing MainWindow takes the windows the features opened with it, so the program ends.
TEST_F(MainWindowTest, ClosingTheMainWindowClosesTheOthers)
{
    WindowLayout chartLike;
    chartLike.title = "Tallymate-各产品名次变化图表";
    chartLike.bounds = {50, 50, 300, 200};
    Form other = LoadForm(chartLike);
    Form helper = LoadExportHelperWindow();
    ASSERT_TRUE(other.IsOpen());
    form.Close();
    EXPECT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_FALSE(helper.IsOpen());
    EXPECT_EQ(OpenFormCount(), 0);
}

TEST(ExportHelperWindow, HiddenHolderOfTheDatabaseControl)
{
    Form helper = LoadExportHelperWindow();
    ASSERT_TRUE(helper.IsOpen());
    EXPECT_FALSE(helper.Visible());
    EXPECT_EQ(helper.Title(), "");
    // 85 x 95 at 50,50 (the system may widen a window with a caption bar to its smallest width).
    EXPECT_EQ(ExportHelperWindowLayout().bounds, (Bounds{50, 50, 85, 95}));
    RECT frame, area;
    GetWindowRect(helper.Handle(), &frame);
    GetClientRect(helper.Handle(), &area);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(area.bottom, 95);
    EXPECT_EQ(helper.ControlNames(), (std::vector<Text>{"外部数据库1"}));

    // Closing the window lets go of the connection the export kept in the control.
    bool closed = false;
    helper.Control("外部数据库1").SetData(std::shared_ptr<void>(new int(1), [&](void* p) {
        closed = true;
        delete static_cast<int*>(p);
    }));
    helper.Destroy();
    EXPECT_TRUE(closed);
}
