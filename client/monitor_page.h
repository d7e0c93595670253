#pragma once
// Page 2 of the main window, "5173价格监控": the pick lists below the game (goods type, operator, area,
// server), read from the platform's search and listing pages; the offers still for sale on a server
// (未交易信息) in the offer list 成交信息1 with their statistics, sort, browser link and workbook export;
// and the price monitor, which polls a server's listing and raises an alarm at an offer inside the
// typed bounds.
//
// The page's game lists, letter filter and keyword search belong to the pick lists of page 0
// (client/pick_lists.h); their selection handler is here.
//
// Who writes the offer list: an offer query, the monitor's full check and the picks that empty the
// list each claim the list first (ClaimOfferList); only the newest claim writes, and an older writer
// stops at its next step without writing anything more.
#include "client/program_state.h"
#include "runtime/datetime.h"
#include "runtime/forms.h"

#include <atomic>
#include <functional>

// --- Program-wide state of the page-2 pick lists ---------------------------------------------------------

// 1 when the page of the chosen goods type offers a choice of operator (the areas then come from the
// chosen operator's page); 0 from every goods-type pick until its page has been read.
extern std::atomic<int> OperatorChoiceFlag;
// The page of the goods type picked last, as it was read for the operator test.
extern SharedText GoodsTypePageText;

// --- Layout and events ---------------------------------------------------------------------------------

// The controls of page 2 beside its game lists: the pick lists below the game, the offer list with its
// labels, work lists and query button, the monitor's controls and timer.
void AddMonitorPageControls(WindowLayout& layout);
void BindMonitorPageEvents(EventTable& events);

// --- Pick lists (window thread handlers; each starts a worker) ------------------------------------------

void OnMonitorGameSelected(const EventArgs& e);
void OnMonitorGoodsTypeSelected(const EventArgs& e);
void OnOperatorSelected(const EventArgs& e);
void OnMonitorAreaSelected(const EventArgs& e);
void OnMonitorServerSelected(const EventArgs& e);

// The number of loads of the page-2 pick lists still running (tests wait for it to be 0).
int MonitorPickLoadsRunning();

// --- The offer list -----------------------------------------------------------------------------------

// Claims the offer list 成交信息1 for a new writer and gives its ticket; every earlier ticket is
// superseded from now on.
unsigned ClaimOfferList();
// Runs `write` on the window thread while `ticket` is still the newest claim and the window is open;
// false (and nothing run) otherwise. Called on the window thread it runs at once.
bool OfferListStep(const Form& form, unsigned ticket, const std::function<void()>& write);
// Window thread: a pick that empties the offer list claims it and empties it.
void EmptyOfferList(const Form& form);

// Which of the four page-2 pick lists has no selection: 0 game, 1 goods type, 2 area, 3 server; -1
// when all four have one.
int MissingMonitorPick(const Form& form);
// The query target of page 2: game, area, server and goods type joined by `separator`.
Text MonitorTarget(const Form& form, std::string_view separator);

// What one page of offers gave the list: the rows written and the work texts of the statistics.
struct OfferPageResult {
    int rows = 0;
    TextArray totals;      // the prices without thousands separators
    TextArray unitPrices;  // the unit prices up to "元"
};

// The statistics of the work texts into 总合_隐1, 单价_隐1 (each sorted as numbers), the price labels
// 标签_最低价1, 标签_最高价1, 标签_最低单价1, 标签_最高单价1, 标签_平均单价1 (empty when there is no offer)
// and the total 标签_交易总金额1 ("0 元" without offers). Window thread. Returns the sum of the prices as
// text.
Text ShowOfferStatistics(const Form& form, const TextArray& totals, const TextArray& unitPrices);

// --- Unsold offers ------------------------------------------------------------------------------------

void OnQueryUnsoldClicked(const EventArgs& e);
// The query over every result page of the chosen server, on the calling thread (a worker) under the
// claim `ticket`.
void QueryUnsoldOrders(Form form, unsigned ticket);
// True while an offer query runs (tests wait for it).
bool UnsoldQueryRunning();
void OnMonitorListColumnClick(const EventArgs& e);
void OnMonitorListRightClick(const EventArgs& e);
void OnOpenUnsoldOrderLinkMenu(const EventArgs& e);
void OnExportUnsoldMenu(const EventArgs& e);

// The sort kind (ListViewSortKind) of a column of 成交信息1; -1 for 交易地址 and past it.
int OfferListColumnSortKind(int column);
// The proposed workbook name of the offer export for a query target ("甲>>乙>>丙>>丁").
Text UnsoldExportFileName(std::string_view queryTarget, DateTime now);

// --- Price monitor ------------------------------------------------------------------------------------

void OnMonitorToggleClicked(const EventArgs& e);
void OnMonitorTimer(const EventArgs& e);
// The poll of the monitor started as `generation`, on the calling thread.
void PollMonitoredOffers(const Form& form, unsigned generation);
// The full check of the monitor started as `generation`: refills the offer list from the first page
// of the server's listing and alerts at the first offer inside the bounds. On the window thread the
// request runs on a worker while the window goes on painting. True when it alerted.
bool MonitorOffersAndAlert(const Form& form, unsigned generation);
// The generation of the running monitor (0 when it is stopped) and whether a poll of it still runs.
unsigned ActiveMonitorGeneration();
bool MonitorPollRunning();
