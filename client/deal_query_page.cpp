// The controls of the deal query, the date query and the statistics list on pages 0 and 1 of the
// main window's tab 选择夹1, and their events.
#include "client/deal_query.h"

#include "client/main_window.h"

namespace {

constexpr const char* kTab = kMainTab;
constexpr int kQueryPage = kPageDealQuery;
constexpr int kStatisticsPage = kPageStatistics;

std::vector<ColumnSpec> DealColumns(const char* gameServerTitle)
{
    return {{"序号", 40},     {"商品名称", 250}, {gameServerTitle, 75}, {"商品类型", 65},
            {"价格", 60},     {"单价", 60},      {"成交时间", 150},     {"交易地址", 200}};
}

std::vector<ColumnSpec> WorkColumns() { return {{"1", 50}}; }

}  // namespace

void AddDealQueryControls(WindowLayout& w)
{
    using namespace ui;
    // Page 0: the deal list and the query's results, right of the pick lists.
    w.Add(ListView("成交信息", {252, 5, 733, 378}, DealColumns("游戏区服")).In(kTab, kQueryPage));
    w.Add(Label("查询目标", "", {252, 388, 590, 20}).In(kTab, kQueryPage));

    struct Result {
        const char* title;
        const char* titleName;
        const char* label;
        Bounds at;
    };
    const Result results[] = {
        {"交易笔数：", "标签_交易笔数说明", "标签_交易笔数", {252, 412, 120, 20}},
        {"交易总金额：", "标签_交易总金额说明", "标签_交易总金额", {442, 412, 170, 20}},
        {"最低价：", "标签_最低价说明", "标签_最低价", {252, 436, 120, 20}},
        {"最高价：", "标签_最高价说明", "标签_最高价", {442, 436, 170, 20}},
        {"最低单价：", "标签_最低单价说明", "标签_最低单价", {252, 460, 120, 20}},
        {"最高单价：", "标签_最高单价说明", "标签_最高单价", {442, 460, 170, 20}},
        {"平均单价：", "标签_平均单价说明", "标签_平均单价", {622, 460, 120, 20}},
    };
    for (const Result& r : results) {
        w.Add(Label(r.titleName, r.title, {r.at.left, r.at.top, 78, 20}).In(kTab, kQueryPage));
        w.Add(Label(r.label, "-", {r.at.left + 78, r.at.top, r.at.width - 78, r.at.height}).In(kTab, kQueryPage));
    }

    w.Add(Button("成交量", "获取成交信息", {860, 388, 125, 28}).In(kTab, kQueryPage));
    w.Add(Button("加入统计", "添加统计信息", {860, 420, 125, 28}).In(kTab, kQueryPage));
    w.Add(DatePicker("日期框1", {252, 488, 130, 24}).In(kTab, kQueryPage));
    w.Add(Button("按钮_查询指定日期", "查找", {387, 488, 60, 24}).In(kTab, kQueryPage));
    w.Add(Button("按钮_恢复查询数据", "总成交量", {452, 488, 80, 24}).In(kTab, kQueryPage));

    // Page 0, never shown: the work lists of the statistics and the saved result.
    for (const char* name : {"总合_隐", "单价_隐", "总合_隐3", "单价_隐3"})
        w.Add(ListView(name, {0, 0, 60, 60}, WorkColumns()).In(kTab, kQueryPage).Hide());
    w.Add(ListView("成交信息复制", {0, 0, 60, 60}, DealColumns("游戏/区/服")).In(kTab, kQueryPage).Hide());
    w.Add(ListView("成交信息复制1", {0, 0, 60, 60}, DealColumns("游戏/区/服")).In(kTab, kQueryPage).Hide());
    for (const char* name : {"透明标签_量副", "透明标签_总副", "透明标签_低金", "透明标签_高金", "透明标签_低单",
                             "透明标签_高单", "透明标签_平均"})
        w.Add(TransparentLabel(name, "", {0, 0, 60, 20}).In(kTab, kQueryPage).Hide());
    // The sort direction of 成交信息, "降" or "升" (the created handler starts it at "降"); never shown.
    w.Add(TransparentLabel("透明标签_排序", "", {0, 0, 60, 20}).In(kTab, kQueryPage).Hide());

    // Page 1: the statistics list.
    w.Add(ListView("统计列表", {5, 5, 980, 490},
                   {{"序号", 40}, {"游戏名/服/区", 200}, {"商品类型", 65}, {"最小金额", 65}, {"最大金额", 65},
                    {"最小单价", 65}, {"最大单价", 65}, {"平均单价", 65}, {"交易笔数", 65}, {"交易总金额", 80},
                    {"统计时间", 170}})
              .In(kTab, kStatisticsPage));
    w.Add(Button("按钮_删除单条", "删除选中统计数据", {5, 500, 150, 28}).In(kTab, kStatisticsPage));
    w.Add(Button("按钮_清空统计", "清空统计数据", {165, 500, 150, 28}).In(kTab, kStatisticsPage));
}

void BindDealQueryEvents(EventTable& events)
{
    events.push_back({"成交量", Event::Click, OnQueryDealsClicked});
    events.push_back({"按钮_恢复查询数据", Event::Click, OnRestoreDealsClicked});
    events.push_back({"按钮_查询指定日期", Event::Click, OnQueryByDateClicked});
    events.push_back({"加入统计", Event::Click, OnAddStatisticsClicked});
    events.push_back({"按钮_删除单条", Event::Click, OnDeleteStatisticsClicked});
    events.push_back({"按钮_清空统计", Event::Click, OnClearStatisticsClicked});
    events.push_back({"统计列表", Event::ColumnClick, OnStatisticsColumnClick});
}
