#pragma once
// A stand-in for the main window for the pick-list tests and benchmark: the tab 选择夹1 with the six
// pages, the status bar 状态条1 and the pick-list controls and events.
#include "client/pick_lists.h"
#include "runtime/forms.h"

inline WindowLayout PickListTestLayout()
{
    WindowLayout w{"Brelmor Quovanta v2.034", {50, 50, 1000, 640}, true, {}};
    w.Add(ui::Tab("选择夹1", {0, 0, 1000, 640},
                  {"5173成交量查询", "5173成交量统计", "5173价格监控", "游戏币装备 排行榜 交易行情", "留言口水",
                   "检查更新说明"}));
    w.Add(ui::StatusBar("状态条1", {0, 592, 914, 30}, {300, 300, -1}));
    AddPickListControls(w);
    return w;
}

// The pick-list events; with `loadAtStart` the window's Created event starts the all-games load, as
// the main window does.
inline EventTable PickListTestEvents(bool loadAtStart)
{
    EventTable events;
    BindPickListEvents(events);
    if (loadAtStart)
        events.push_back({"", Event::Created, [](const EventArgs& e) { StartLoadAllGames(*e.form); }});
    return events;
}
