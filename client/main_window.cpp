// MainWindow: layout, events and the handlers of start-up, the date picker and the skin sliders.
#include "client/main_window.h"

#include "client/program_state.h"
#include "client/startup_files.h"
#include "client/total_volume_window.h"
#include "helpers/skin.h"
#include "runtime/files.h"
#include "runtime/numbers.h"
#include "runtime/workers.h"

#include <cmath>
#include <cstdlib>

Form MainWindow;

namespace {

const char kAboutText[] =
    "Quovanta v" QUOVANTA_PROGRAM_VERSION "\r\n"
    "\r\n"
    "功能：\r\n"
    "1、成交量信息查询\r\n"
    "2、计算最小单价总价\r\n"
    "3、成交量统计\r\n"
    "4、未交易信息查询\r\n"
    "5、支持价格监控低价报警\r\n"
    "6、游戏交易排行榜\r\n"
    "7、游戏交易行情\r\n"
    "8、17173新游戏交易行情\r\n"
    "9、一键查询5173所有游戏交易量\r\n"
    "10、单独日期查询";

const char kUsageText[] =
    "使用说明：\r\n"
    "\r\n"
    "1、在“5173成交量查询”页选好游戏、商品类型、区和服务器，\r\n"
    "     点击“获取成交信息”，取得最近的成交记录和价格统计。\r\n"
    "2、“添加统计信息”把本次结果加入“5173成交量统计”页，便于对比。\r\n"
    "3、选好日期后点击“查找”只看当天成交，“总成交量”恢复全部结果。\r\n"
    "4、“5173价格监控”页设好单价和监控时间，出现低价商品即报警。\r\n"
    "5、在成交列表上点右键，可以查看订单或导出Excel。\r\n"
    "6、移动左边的滑块条可以更换皮肤颜色。\r\n"
    "7、“自动更新”检查新版本，“手动更新”打开下载页面。";

void AddFrameControls(WindowLayout& layout)
{
    layout.Add(ui::Tab(kMainTab, {0, 0, 1000, 640},
                       {"5173成交量查询", "5173成交量统计", "5173价格监控", "游戏币装备 排行榜 交易行情", "留言口水",
                        "检查更新说明"}));
    // The export progress panel lies over the pages; the created handler hides it.
    layout.Add(ui::GroupBox("分组框2", "正在导出Excel请稍后......", {440, 300, 450, 65}));
    layout.Add(ui::ProgressBar("进度条1", {5, 20, 440, 30}).In("分组框2"));
    layout.Add(ui::FileDialog("通用对话框1", "导出资料", "*.xls", "xls"));
    // Part 0: a feature's summary line; part 1: its progress or result; part 2: the time of the result.
    layout.Add(ui::StatusBar("状态条1", {0, 592, 914, 30}, {440, 330, -1}));
    layout.Add(ui::PopupMenu("功能", {"查看当前订单", "成交信息导出Excel"}));
    layout.Add(ui::PopupMenu("监控功能", {"查看当前未交易订单", "未交易订单导出Excel"}));
}

void AddUpdatePageControls(WindowLayout& layout)
{
    layout.Add(ui::Label("标签38", kAboutText, {30, 20, 300, 250}).In(kMainTab, kPageUpdate));
    layout.Add(ui::Label("标签39", kUsageText, {360, 20, 600, 250}).In(kMainTab, kPageUpdate));
    layout.Add(ui::Label("标签40", "换肤功能[移动滑块条]", {30, 300, 300, 20}).In(kMainTab, kPageUpdate));
    layout.Add(ui::Slider("滑块条1", {30, 325, 300, 30}, 0, 90, 1).In(kMainTab, kPageUpdate));
    layout.Add(ui::Slider("滑块条2", {30, 365, 300, 30}, 0, 90, 1).In(kMainTab, kPageUpdate));
    layout.Add(ui::Button("按钮_检查更新", "自动更新", {360, 325, 110, 30}).In(kMainTab, kPageUpdate));
    layout.Add(ui::Button("按钮_手动更新", "手动更新", {490, 325, 110, 30}).In(kMainTab, kPageUpdate));
    layout.Add(ui::Timer("时钟1", 0));
}

void ApplySkinHue(int hue) { AttachSkinFromMemory(CarriedSkinData(), hue, 0); }

}  // namespace

WindowLayout MainWindowLayout()
{
    WindowLayout layout;
    layout.title = kMainWindowTitle;
    layout.bounds = {50, 50, 1000, 640};
    AddFrameControls(layout);
    AddUpdatePageControls(layout);
    AddPickListControls(layout);
    AddDealQueryControls(layout);
    AddRankingControls(layout);
    AddGuestbookControls(layout);
    AddMonitorPageControls(layout);
    return layout;
}

EventTable MainWindowEvents()
{
    EventTable events = {
        {"", Event::Created, OnMainWindowCreated},
        {"", Event::Destroyed, OnMainWindowDestroyed},
        {"日期框1", Event::DateChanged, OnDatePicked},
        {"滑块条1", Event::PositionChanged, OnSkinSlider1Changed},
        {"滑块条2", Event::PositionChanged, OnSkinSlider2Changed},
    };
    BindPickListEvents(events);
    BindDealQueryEvents(events);
    BindDealListCommandEvents(events);
    BindMonitorPageEvents(events);
    BindUpdateCheckEvents(events);
    BindRankingEvents(events);
    BindMarketEvents(events);
    BindNewGameOpenerEvents(events);
    BindTotalVolumeEvents(events);
    return events;
}

Form LoadMainWindow()
{
    Form form = LoadForm(MainWindowLayout(), MainWindowEvents());
    MainWindow = form;
    return form;
}

void OnMainWindowCreated(const EventArgs& args)
{
    Form form = *args.form;
    // The workers started below reach the window through MainWindow before LoadForm has returned.
    MainWindow = form;

    std::srand(GetTickCount());
    const int hue = std::rand() % 181;
    const int secondValue = std::rand() % 181;
    AttachSkinFromMemory(CarriedSkinData(), hue, secondValue);

    OnDatePicked(args);
    form.Control("分组框2").SetVisible(false);
    form.Control("透明标签_排序").SetText("降");
    form.Control("透明标签_排序1").SetText("降");
    PrepareRankingLists(form);

    WriteStartupFiles(ProgramDirectory());

    DealQueryBusy = 0;
    StartWorker(LoadAllGames);
    if (HWND filter = form.Control("字母分类").Handle())
        SetFocus(filter);
    form.Control("时钟1").SetInterval(2000);
}

void OnMainWindowDestroyed(const EventArgs& args)
{
    for (const Form& other : OpenForms()) {
        if (!(other == *args.form))
            other.Destroy();
    }
}

Text MakeDateKey(DateTime date)
{
    // The day is the whole part of the date (towards zero, as OLE dates count); the time of day must
    // not round a date shortly before midnight up to the next day.
    const DateTimeParts parts = SplitDateTime(std::trunc(date));
    Text day = IntegerToText(parts.day);
    if (parts.day < 10)
        day = "0" + day;
    return IntegerToText(parts.month) + "-" + day;
}

void OnDatePicked(const EventArgs& args) { DateKey = MakeDateKey(args.form->Control("日期框1").Date()); }

int SkinHueOfSlider1(int position) { return position * 2; }
int SkinHueOfSlider2(int position) { return position * -2; }

void OnSkinSlider1Changed(const EventArgs& args)
{
    ApplySkinHue(SkinHueOfSlider1(args.form->Control("滑块条1").Position()));
}

void OnSkinSlider2Changed(const EventArgs& args)
{
    ApplySkinHue(SkinHueOfSlider2(args.form->Control("滑块条2").Position()));
}
