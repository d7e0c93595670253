#pragma once
// MainWindow, the start window of Quovanta: the tab 选择夹1 with its six pages, the controls outside
// the pages (the export panel 分组框2 with 进度条1, the file dialog 通用对话框1, the status bar 状态条1,
// the pop-up menus 功能 and 监控功能), page 5 (skin sliders, about and usage labels, update buttons,
// the update timer 时钟1) and the date key of the date picker 日期框1 (which the deal query places on
// page 0 beside its date query button).
//
// The layout and the event table are put together from one function per feature: each feature file
// adds its own controls to the pages and binds its own handlers, so a feature never edits another's
// table. A feature's controls go on a page with `.In(kMainTab, page)`.
#include "client/program_version.h"
#include "runtime/forms.h"

inline constexpr char kMainWindowTitle[] = "Brelmor Quovanta v" QUOVANTA_PROGRAM_VERSION;
inline constexpr char kMainTab[] = "选择夹1";

// Pages of 选择夹1.
enum MainPage {
    kPageDealQuery = 0,   // "5173成交量查询"
    kPageStatistics = 1,  // "5173成交量统计"
    kPageMonitor = 2,     // "5173价格监控"
    kPageRankings = 3,    // "游戏币装备 排行榜 交易行情"
    kPageGuestbook = 4,   // "留言口水"
    kPageUpdate = 5,      // "检查更新说明"
};

// The loaded MainWindow (closed before it is loaded and after it is gone). Workers reach its controls
// through it: MainWindow.Control("状态条1").SetPartText(1, ...).
extern Form MainWindow;

WindowLayout MainWindowLayout();
EventTable MainWindowEvents();

// Loads MainWindow on the calling thread (its created handler runs before it is shown) and keeps it in
// MainWindow.
Form LoadMainWindow();

// Handlers of this window (window thread).
void OnMainWindowCreated(const EventArgs& args);
// Closing MainWindow ends the program together with every further window the features opened.
void OnMainWindowDestroyed(const EventArgs& args);
void OnDatePicked(const EventArgs& args);
void OnSkinSlider1Changed(const EventArgs& args);
void OnSkinSlider2Changed(const EventArgs& args);

// The date key of an OLE date: month without a leading zero, "-", day in two digits ("1-07").
Text MakeDateKey(DateTime date);

// Skin hue of a slider position: 滑块条1 turns the hue by +2 degrees a step, 滑块条2 by -2.
int SkinHueOfSlider1(int position);
int SkinHueOfSlider2(int position);

// --- Feature hooks: each feature file adds its controls and binds its handlers here. ---------------

// Pages 0 and 2: the game, goods-type, area, server and operator pick lists (with the letter filters
// 字母分类 and 字母分类1 and the keyword search).
void AddPickListControls(WindowLayout& layout);
void BindPickListEvents(EventTable& events);
// The worker started by the created handler that fills the game lists (no parameter).
void LoadAllGames();

// Pages 0 and 1: the latest-deal query with its labels and deal list 成交信息, the sort-direction
// label 透明标签_排序, the date query button 按钮_查询指定日期 beside 日期框1, the restore button and
// the statistics list.
void AddDealQueryControls(WindowLayout& layout);
void BindDealQueryEvents(EventTable& events);

// Page 0: the commands of the deal list 成交信息: the right-button menu 功能 (open the deal, export
// the list to a workbook) and the sort by a column click.
void BindDealListCommandEvents(EventTable& events);

// Page 2: the pick lists below the game, the offers still for sale (未交易信息, 成交信息1) and the price
// monitor (超级按钮_监控, 监控刷新时间) with its alarms.
void AddMonitorPageControls(WindowLayout& layout);
void BindMonitorPageEvents(EventTable& events);

// Page 3: the opener 超级按钮_17173交易 of NewGameWindow (client/new_game_window.h).
void BindNewGameOpenerEvents(EventTable& events);

// Page 5: the version check (the tick of 时钟1 and 按钮_检查更新).
void BindUpdateCheckEvents(EventTable& events);

// Page 3: the weekly rankings (超级按钮2, the three ranking lists, the history lists), the chart
// thumbnail with the button of the chart window, and the openers of the market-quote, new-game and
// total-volume windows.
void AddRankingControls(WindowLayout& layout);
void BindRankingEvents(EventTable& events);
// The rank pictures of the three ranking lists (the created handler).
void PrepareRankingLists(const Form& form);

// Page 4: the guest book (分组框3 with 超文本浏览框1, the hidden 超文本浏览框2, 超级按钮_刷新留言,
// 超级按钮_网站访问); the handlers of the market window's opener and of the link buttons (按钮_手动更新
// of page 5 among them).
void AddGuestbookControls(WindowLayout& layout);
void BindMarketEvents(EventTable& events);
