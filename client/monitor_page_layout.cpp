// The controls of page 2 ("5173价格监控") beside its game lists, and the events they raise.
#include "client/listing_pages.h"
#include "client/main_window.h"
#include "client/monitor_page.h"

namespace {

constexpr const char* kTab = kMainTab;
constexpr int kPage = kPageMonitor;

// A visible pick list with its hidden twin at the same place.
void AddPair(WindowLayout& w, const char* visible, const char* hidden, Bounds b)
{
    w.Add(ui::ListBox(visible, b).In(kTab, kPage));
    w.Add(ui::ListBox(hidden, b).In(kTab, kPage).Hide());
}

std::vector<ColumnSpec> WorkColumns() { return {{"1", 50}}; }

}  // namespace

void AddMonitorPageControls(WindowLayout& w)
{
    using namespace ui;
    // The pick lists below the game, in the left column under the game lists.
    AddPair(w, "商品类型_类型_显1", "商品类型_类型_隐1", {6, 272, 240, 64});
    w.Add(Label("标签_运营商", "网页游戏运营商", {6, 340, 240, 16}).In(kTab, kPage));
    AddPair(w, "运营商_显", "运营商_隐", {6, 358, 240, 50});
    AddPair(w, "游戏分区_大区_显1", "游戏分区_大区_隐1", {6, 412, 118, 124});
    AddPair(w, "游戏伺服_服务器_显1", "游戏伺服_服务器_隐1", {128, 412, 118, 124});

    // The offer list and its results, right of the pick lists.
    w.Add(ListView("成交信息1", {252, 5, 733, 330},
                   {{"序号", 40}, {"方式", 40}, {"商品名称", 250}, {"商品类型", 65}, {"价格", 75}, {"单价", 95},
                    {"交易地址", 200}})
              .In(kTab, kPage));
    w.Add(Label("查询目标1", "", {252, 340, 600, 20}).In(kTab, kPage));
    w.Add(Button("未交易信息", "获取未交易信息", {860, 338, 125, 28}).In(kTab, kPage));

    struct Result {
        const char* titleName;
        const char* title;
        const char* label;
        int left, top;
    };
    const Result results[] = {
        {"标签18", "最低金额", "标签_最低价1", 252, 366},      {"标签19", "最高金额", "标签_最高价1", 452, 366},
        {"标签30", "交易总金额", "标签_交易总金额1", 652, 366}, {"标签20", "最低单价", "标签_最低单价1", 252, 388},
        {"标签21", "最高单价", "标签_最高单价1", 452, 388},    {"标签22", "平均单价", "标签_平均单价1", 652, 388},
    };
    for (const Result& r : results) {
        w.Add(Label(r.titleName, r.title, {r.left, r.top, 80, 20}).In(kTab, kPage));
        w.Add(Label(r.label, "-", {r.left + 80, r.top, 115, 20}).In(kTab, kPage));
    }
    w.Add(Label("标签36", "选中商品后，点击右键，选择查看未交易信息即可打开5173当前商品购买界面！", {252, 412, 733, 20})
              .In(kTab, kPage));

    // The monitor.
    w.Add(ComboBox("组合框_监控时间", {252, 440, 140, 22}, MonitorIntervalItems()).In(kTab, kPage).Select(1));
    w.Add(Label("标签25", "报警模式", {404, 443, 60, 20}).In(kTab, kPage));
    w.Add(ComboBox("组合框_报警模式", {466, 440, 110, 22}, {"弹窗报警", "音乐报警"}).In(kTab, kPage).Select(0));
    w.Add(Label("标签26", "单价小于", {252, 474, 60, 20}).In(kTab, kPage));
    w.Add(EditBox("编辑框_单价小于", "", {314, 471, 78, 22}).In(kTab, kPage));
    w.Add(Label("标签27", "大于", {404, 474, 36, 20}).In(kTab, kPage));
    w.Add(EditBox("编辑框_单价大于", "0", {442, 471, 78, 22}).In(kTab, kPage));
    w.Add(Label("标签28", "价格小于", {252, 504, 60, 20}).In(kTab, kPage));
    w.Add(EditBox("编辑框_价格小于", "10000", {314, 501, 78, 22}).In(kTab, kPage));
    w.Add(Label("标签29", "大于", {404, 504, 36, 20}).In(kTab, kPage));
    w.Add(EditBox("编辑框_价格大于", "0", {442, 501, 78, 22}).In(kTab, kPage));
    w.Add(SuperButton("超级按钮_监控", "开始监控", {860, 440, 125, 34}).In(kTab, kPage));
    w.Add(Label("标签_监控", "", {590, 474, 260, 20}).In(kTab, kPage));
    w.Add(Timer("监控刷新时间", 0));

    // Never shown: the monitor's state, the sort direction of 成交信息1 (the created handler starts it at
    // "降") and the work lists of the statistics and of the poll.
    w.Add(TransparentLabel("透明标签1", "", {0, 0, 60, 20}).In(kTab, kPage).Hide());
    w.Add(TransparentLabel("透明标签_排序1", "", {0, 0, 60, 20}).In(kTab, kPage).Hide());
    for (const char* name : {"总合_隐1", "单价_隐1", "总合_隐2", "单价_隐2"})
        w.Add(ListView(name, {0, 0, 60, 60}, WorkColumns()).In(kTab, kPage).Hide());
}

void BindMonitorPageEvents(EventTable& events)
{
    events.push_back({"游戏列表_游戏名_显1", Event::SelectionChanged, OnMonitorGameSelected});
    events.push_back({"商品类型_类型_显1", Event::SelectionChanged, OnMonitorGoodsTypeSelected});
    events.push_back({"运营商_显", Event::SelectionChanged, OnOperatorSelected});
    events.push_back({"游戏分区_大区_显1", Event::SelectionChanged, OnMonitorAreaSelected});
    events.push_back({"游戏伺服_服务器_显1", Event::SelectionChanged, OnMonitorServerSelected});
    events.push_back({"未交易信息", Event::Click, OnQueryUnsoldClicked});
    events.push_back({"成交信息1", Event::ColumnClick, OnMonitorListColumnClick});
    events.push_back({"成交信息1", Event::RightButton, OnMonitorListRightClick});
    events.push_back({"查看当前未交易订单", Event::Click, OnOpenUnsoldOrderLinkMenu});
    events.push_back({"未交易订单导出Excel", Event::Click, OnExportUnsoldMenu});
    events.push_back({"超级按钮_监控", Event::Click, OnMonitorToggleClicked});
    events.push_back({"监控刷新时间", Event::Tick, OnMonitorTimer});
}
