// The price monitor of page 2: start and stop, the poll at each tick of 监控刷新时间, the full check and
// the alert (see monitor_page.h).
//
// The monitor's state is shown in its controls (the caption of 超级按钮_监控 and the never-shown label
// 透明标签1) and kept in a generation number: every start takes a new one, and a stop or an alert
// ends it. A poll or full check carries the generation of the start it belongs to and writes and
// alerts nothing once that start is over, so a poll still reading its page when the user stops (or
// starts again) leaves the list and the user alone. A tick passes while a poll of the running start
// is still under way.
#include "client/listing_pages.h"
#include "client/monitor_page.h"
#include "helpers/http_client.h"
#include "helpers/listview_colours.h"
#include "runtime/files.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <algorithm>
#include <optional>

namespace {

constexpr char kButton[] = "超级按钮_监控";
constexpr char kState[] = "透明标签1";
constexpr char kStatusLine[] = "标签_监控";
constexpr char kTimer[] = "监控刷新时间";
constexpr char kStart[] = "开始监控";
constexpr char kStop[] = "停止监控";
constexpr char kOfferList[] = "成交信息1";
constexpr int kUnitPriceColumn = 5;
constexpr COLORREF kAlertText = 0x000000FF;  // red
constexpr COLORREF kAlertBack = 0x0000FFFF;  // yellow

const char* const kMonitorPickMessages[] = {"请选择您要监控的游戏名！", "请选择您要监控的商品类型！",
                                            "请选择您要监控的游戏大区！", "请选择您要监控的游戏服务器！"};

std::atomic<unsigned> g_startGeneration{0};
// The generation of the running monitor; 0 while it is stopped.
std::atomic<unsigned> g_activeMonitor{0};
// The generation whose poll is under way; 0 when none is.
std::atomic<unsigned> g_pollRunning{0};

bool Active(unsigned generation) { return generation != 0 && g_activeMonitor.load() == generation; }

MonitorBounds ReadBounds(const Form& form)
{
    return BoundsFromTexts(form.Control("编辑框_单价小于").GetText(), form.Control("编辑框_单价大于").GetText(),
                           form.Control("编辑框_价格小于").GetText(), form.Control("编辑框_价格大于").GetText());
}

void SetBar(const Form& form, std::initializer_list<int> parts, std::string_view text)
{
    Control bar = form.Control("状态条1");
    for (int part : parts) bar.SetPartText(part, text);
}

// The alert for the offer numbered `number` (its 序号) in the offer list, whose unit-price cell reads
// `unitPrice`. The monitor has already been ended (the caller took its generation away) and the timer
// stopped; the sound, the box and the stop of the sound all happen on the calling thread.
void ShowMonitorStopped(const Form& form, unsigned generation)
{
    RunOnWindowThread(form.Control(kButton), [&] {
        // A start made while the box was shown owns the button, the state and the status bar from now on.
        if (g_startGeneration.load() != generation) return;
        form.Control(kButton).SetText(kStart);
        form.Control(kState).SetText(kStop);
        form.Control("状态条1").SetPartText(1, "发现新订单！");
    });
}

void Alert(const Form& form, unsigned generation, unsigned ticket, const Text& number, const Text& unitPrice)
{
    // The monitor has ended: its button comes back however the alert ends (a worker out of memory too).
    bool shown = false;
    const RunEnd end([&](bool) {
        if (!shown) ShowMonitorStopped(form, generation);
    });
    WaitMilliseconds(500);
    // The user may have started the monitor again during the wait: an alert of an ended start is not
    // raised any more.
    if (g_startGeneration.load() != generation) return;
    const Text mode = form.Control("组合框_报警模式").GetText();
    const Text message = "发现新目标订单，单价为： " + unitPrice;
    if (mode == "弹窗报警") {
        ShowMessageBox(message, "注意", 0);
    } else if (mode == "音乐报警") {
        PlaySoundFile(ProgramDirectory() + "\\alarm.mp3");
        ShowMessageBox(message, "注意", 0);
        StopAllSounds();
    }
    ShowMonitorStopped(form, generation);
    shown = true;
    // The cell is coloured only while the list still shows the page the alert was raised on, in the row
    // the offer stands in now (a column click may have sorted the list meanwhile).
    OfferListStep(form, ticket, [&] {
        Control list = form.Control(kOfferList);
        const TextArray numbers = list.ColumnCells(0);
        const auto at = std::find(numbers.begin(), numbers.end(), number);
        if (list.Handle() && at != numbers.end())
            SetListViewCellColour(GetParent(list.Handle()), list.Handle(), static_cast<int>(at - numbers.begin()),
                                  kUnitPriceColumn, kAlertText, kAlertBack);
    });
}

}  // namespace

unsigned ActiveMonitorGeneration() { return g_activeMonitor.load(); }
bool MonitorPollRunning() { return g_pollRunning.load() != 0; }

bool MonitorOffersAndAlert(const Form& form, unsigned generation)
{
    Control list = form.Control(kOfferList);
    int missing = -1;
    unsigned ticket = 0;
    Text link, goodsType;
    bool started = false;
    RunOnWindowThread(list, [&] {
        if (!Active(generation)) return;
        started = true;
        form.Control("查询目标1").SetText(MonitorTarget(form, ">>"));
        missing = MissingMonitorPick(form);
        if (missing >= 0) return;
        form.Control("状态").SetText("正在监控订单中...");
        form.Control("状态条1").SetPartText(1, "正在监控订单中...");
        ticket = ClaimOfferList();
        Control types = form.Control("商品类型_类型_显1");
        goodsType = types.Item(types.Selection());
        Control servers = form.Control("游戏伺服_服务器_隐1");
        link = servers.Item(servers.Selection());
    });
    if (!started) return false;
    if (missing >= 0) {
        ShowMessageBox(kMonitorPickMessages[missing], "警告", MB_ICONEXCLAMATION);
        return false;
    }

    Text page;
    RunOffWindowThread([&] { page = FetchUrlText(ListingAddressOf(link)); });
    const std::vector<Offer> offers = ParseOffers(page);
    const std::vector<TextArray> rows = OfferRows(offers, 0, goodsType);

    int found = -1;
    Text unitPrice;
    OfferListStep(form, ticket, [&] {
        if (!Active(generation)) return;
        Control totals = form.Control("总合_隐1"), units = form.Control("单价_隐1");
        WriteBatch({list, totals, units}, [&] {
            list.SetRows(rows);
            TextArray totalTexts, unitTexts;
            for (const Offer& o : offers) {
                totalTexts.push_back(o.totalNumber);
                unitTexts.push_back(o.unitNumber);
            }
            ShowOfferStatistics(form, totalTexts, unitTexts);
        });
        // The rows as the list shows them after the refill, from the top: the first one inside the bounds.
        const MonitorBounds bounds = ReadBounds(form);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (InsideBounds(UnitPriceNumber(rows[r][5]), TotalPriceNumber(rows[r][4]), bounds)) {
                found = static_cast<int>(r);
                unitPrice = rows[r][5];
                break;
            }
        }
        if (found < 0) return;
        // The alert ends the monitor at once: no other poll of this start alerts again.
        unsigned running = generation;
        g_activeMonitor.compare_exchange_strong(running, 0);
        form.Control(kTimer).SetInterval(0);
        form.Control(kStatusLine).SetText("发现新订单单价： " + unitPrice);
    });
    if (found < 0) return false;
    Alert(form, generation, ticket, rows[static_cast<std::size_t>(found)][0], unitPrice);
    return true;
}

void PollMonitoredOffers(const Form& form, unsigned generation)
{
    Text link;
    if (!RunOnWindowThread(form.Control(kOfferList), [&] {
            Control servers = form.Control("游戏伺服_服务器_隐1");
            link = servers.Item(servers.Selection());
        }))
        return;
    if (!Active(generation)) return;
    const std::vector<Offer> offers = ParseOffers(FetchUrlText(ListingAddressOf(link)));

    // This page alone is examined: the poll's work lists hold its offers and nothing of earlier polls.
    bool inside = false;
    RunOnWindowThread(form.Control(kOfferList), [&] {
        if (!Active(generation)) return;
        std::vector<TextArray> units, totals;
        units.reserve(offers.size());
        totals.reserve(offers.size());
        for (const Offer& o : offers) {
            units.push_back({o.unitNumber});
            totals.push_back({o.price});
        }
        Control unitList = form.Control("单价_隐2"), totalList = form.Control("总合_隐2");
        WriteBatch({unitList, totalList}, [&] {
            unitList.SetRows(units);
            totalList.SetRows(totals);
        });
        const MonitorBounds bounds = ReadBounds(form);
        for (const Offer& o : offers) {
            if (InsideBounds(UnitPriceNumber(o.unitNumber), TotalPriceNumber(o.price), bounds)) {
                inside = true;
                break;
            }
        }
    });
    if (inside) MonitorOffersAndAlert(form, generation);
}

void OnMonitorTimer(const EventArgs& e)
{
    const unsigned generation = g_activeMonitor.load();
    if (generation == 0) return;
    // One poll of a start at a time: a tick that finds one still under way passes. (Only this thread
    // sets the mark; a poll takes its own mark away when it ends, after any box it showed.)
    if (g_pollRunning.load() == generation) return;
    g_pollRunning = generation;
    const Form form = *e.form;
    if (!StartWorker([form, generation] {
            const RunEnd end([generation](bool) {
                unsigned mine = generation;
                g_pollRunning.compare_exchange_strong(mine, 0);
            });
            PollMonitoredOffers(form, generation);
        })) {
        unsigned mine = generation;
        g_pollRunning.compare_exchange_strong(mine, 0);
    }
}

void OnMonitorToggleClicked(const EventArgs& e)
{
    const Form form = *e.form;
    ClearListViewColours();
    const int missing = MissingMonitorPick(form);
    if (missing >= 0) {
        ShowMessageBox(kMonitorPickMessages[missing], "警告", MB_ICONEXCLAMATION);
        return;
    }
    const int interval = MonitorIntervalMs(form.Control("组合框_监控时间").GetText());

    Control button = form.Control(kButton), state = form.Control(kState);
    unsigned generation = 0;
    const Text caption = button.GetText();
    if (caption == kStart) {
        generation = ++g_startGeneration;
        g_activeMonitor = generation;
        state.SetText(kStart);
        button.SetText(kStop);
        form.Control(kStatusLine).SetText("正在监控信息中...");
        Control list = form.Control(kOfferList), totals = form.Control("总合_隐2"), units = form.Control("单价_隐2");
        ClaimOfferList();
        WriteBatch({list, totals, units}, [&] {
            list.ClearRows();
            totals.ClearRows();
            units.ClearRows();
        });
    } else if (caption == kStop) {
        g_activeMonitor = 0;
        state.SetText(kStop);
        button.SetText(kStart);
    }

    if (generation != 0 && state.GetText() == kStart) {
        MonitorOffersAndAlert(form, generation);
        // Still this start's monitor (no alert, and no click while the page was read): poll from now on.
        if (state.GetText() == kStart && Active(generation)) {
            SetBar(form, {0, 1}, "正在监控信息！");
            form.Control(kTimer).SetInterval(interval);
        }
    }
    if (state.GetText() == kStop) {
        form.Control(kStatusLine).SetText("已停止监控信息...");
        SetBar(form, {0, 1}, "停止监控信息！");
        form.Control(kTimer).SetInterval(0);
    }
}
