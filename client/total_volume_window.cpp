// TotalVolumeWindow: its layout, the game-list load, the total-volume run with pause, resume and stop,
// the column sort and the opener on page 3 of the main window.
#include "client/total_volume_window.h"

#include "client/deal_query.h"
#include "client/export_command.h"
#include "client/list_sorting.h"
#include "client/page_bounds.h"
#include "client/pick_lists.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "helpers/listview_sort.h"
#include "helpers/text_helpers.h"
#include "runtime/datetime.h"
#include "runtime/numbers.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <memory>
#include <vector>

std::atomic<bool> TotalRunIdle{false};

namespace {

constexpr char kGameList[] = "超级列表框_5173游戏列表";
constexpr char kWorkList[] = "总价_5173计算";
constexpr char kProgressLabel[] = "标签1";
constexpr char kSortLabel[] = "透明标签_排序";
constexpr char kStartButton[] = "超级按钮_获取51数据";
constexpr char kPauseButton[] = "超级按钮_暂停继续";
constexpr char kStopButton[] = "超级按钮_停止";
constexpr char kExportButton[] = "超级按钮_导出5173";
constexpr char kExportPanel[] = "分组框2";
constexpr char kExportProgress[] = "进度条1";
constexpr char kFileDialog[] = "通用对话框1";

// Columns of 超级列表框_5173游戏列表.
enum TotalColumn { kColNumber = 0, kColName = 1, kColId = 2, kColTotal = 3, kColDeals = 4, kColState = 5 };

constexpr char kPause[] = "暂停";
constexpr char kResume[] = "继续";
constexpr char kNoDeals[] = "暂无交易";

constexpr int kWaitAfterPageMs = 1000;
constexpr int kWaitAfterGameMs = 2000;

// The workers of these windows that have not ended: counted from before each thread starts, so that
// no one waiting for them sees none while one is about to run.
std::atomic<int> g_workersAlive{0};

// Ends the count of the worker whose body it is in.
struct WorkerEnds {
    ~WorkerEnds() { --g_workersAlive; }
};

// The run state of one window. The flags are written and read on the window thread only: the handlers
// set them, and every write step of the workers checks them inside the same window-thread step.
struct TotalWindow {
    RunControl run;          // the window's total-volume run (pause, resume and stop at safe points)
    bool started = false;    // a run has been started (a window runs once)
    bool active = false;     // the run has started and neither finished nor been stopped
    bool paused = false;
    bool stopped = false;
    bool closed = false;
    int gameIndex = 0;       // the game being totalled, from 1
    int gameCount = 0;       // the rows the run covers
    Text gameId;             // the platform id of the game being totalled
};

// The run state lives in the data slot of the game list.
std::shared_ptr<TotalWindow> StateOf(const Form& form)
{
    return std::static_pointer_cast<TotalWindow>(form.Control(kGameList).Data());
}

// --- The game-list load ------------------------------------------------------------------------------

void LoadTotalGameList(Form form)
{
    Control list = form.Control(kGameList);
    std::vector<TextArray> rows;
    // One step: the rows go in whole (a sort may already be allowed while the list loads), then the
    // window is ready; also after a load that ran out of memory, as after a reply without games. A
    // closed window is not written.
    const RunEnd end([&](bool) {
        RunOnWindowThread(list, [&] {
            const auto state = StateOf(form);
            if (!state || state->closed) return;
            list.SetRows(rows);
            form.Control(kProgressLabel).SetText("初始化完毕...");
            if (!state->started) form.Control(kStartButton).SetEnabled(true);
        });
    });
    form.Control(kProgressLabel).SetText("初始化中...");
    const std::vector<TotalGame> games = ParseTotalGameList(FetchUrlText(AllGamesUrl()));
    rows.reserve(games.size());
    for (std::size_t i = 0; i < games.size(); ++i)
        rows.push_back({IntegerToText(static_cast<long long>(i) + 1), games[i].name, games[i].id, "", "", ""});
}

// --- The run -----------------------------------------------------------------------------------------

class RunSteps {
public:
    RunSteps(Form form, std::shared_ptr<TotalWindow> state, RunToken token)
        : form_(std::move(form)), list_(form_.Control(kGameList)), state_(std::move(state)), token_(std::move(token))
    {
    }

    // Runs `write` on the window thread as one step of the run. While the run is paused nothing is
    // written: the worker waits at its checkpoint and tries again once the run goes on. False, and
    // nothing written, once the run has been stopped or its window closed: the worker then ends.
    template <class Write>
    bool Step(Write&& write)
    {
        for (;;) {
            if (!token_.Checkpoint()) return false;
            enum { kEnded, kPaused, kWritten } outcome = kEnded;
            RunOnWindowThread(list_, [&] {
                if (state_->stopped || state_->closed) return;
                if (state_->paused) {
                    outcome = kPaused;
                    return;
                }
                write();
                outcome = kWritten;
            });
            if (outcome == kWritten) return true;
            if (outcome == kEnded) return false;
        }
    }

    // A safe point between requests: waits while paused; false once stopped.
    bool Go() const { return token_.Checkpoint(); }

    const Form& form() const { return form_; }
    const Control& list() const { return list_; }
    TotalWindow& state() const { return *state_; }

private:
    Form form_;
    Control list_;
    std::shared_ptr<TotalWindow> state_;
    RunToken token_;
};

// One game of the run: row r, game number g. False when the run has to end.
bool TotalOneGame(RunSteps& steps, int g, int count, const Text& id)
{
    const int r = g - 1;
    const Form& form = steps.form();
    const Control& list = steps.list();
    Control work = form.Control(kWorkList);
    if (!steps.Step([&] {
            steps.state().gameIndex = g;
            steps.state().gameId = id;
            form.Control(kProgressLabel).SetText(TotalProgressText(g, count, "运行中..."));
            list.SetCell(r, kColState, "数据计算中...");
            work.ClearRows();  // the work list of this game (never seen)
        }))
        return false;

    if (!steps.Go()) return false;
    Text reply = FetchUrlText(TotalFirstPageAddress(id));
    PageRun pages(DealPageCount(reply));

    TextArray amounts;
    for (int n = 1; n <= pages.Pages(); ++n) {
        if (pages.Pages() != 1) {
            if (!steps.Go()) return false;
            reply = FetchUrlText(TotalPageAddress(id, n));
        }
        TextArray pageAmounts = PageAmounts(reply);
        pages.KeepRecords(pageAmounts);
        std::vector<TextArray> rows;
        rows.reserve(pageAmounts.size());
        for (const Text& a : pageAmounts) rows.push_back({a});
        if (!rows.empty() && !steps.Step([&] { work.InsertRows(-1, rows); })) return false;
        amounts.insert(amounts.end(), pageAmounts.begin(), pageAmounts.end());
        WaitMilliseconds(kWaitAfterPageMs);
        if (!pages.Continue(static_cast<int>(pageAmounts.size()))) break;
    }

    const Text total = SumAmounts(amounts);
    const Text deals = DealCountOfPage(reply);
    if (!steps.Step([&] {
            RedrawHold hold(list.Handle());
            if (total.empty() || total == "0") {
                list.SetCell(r, kColTotal, kNoDeals);  // 交易笔数 keeps its text
            } else {
                list.SetCell(r, kColTotal, total);
                list.SetCell(r, kColDeals, deals);
            }
            list.SetCell(r, kColState, "完成");
        }))
        return false;
    WaitMilliseconds(kWaitAfterGameMs);
    return true;
}

void SumAllGamesVolume(RunSteps& steps)
{
    const Form& form = steps.form();
    // The end of the run, also of one that runs out of memory: sorting is allowed again.
    const auto finish = [&] {
        steps.Step([&] {
            form.Control(kProgressLabel).SetText("完成");
            steps.state().active = false;
            TotalRunIdle = true;
        });
    };
    const RunEnd end([&](bool failed) {
        if (failed) finish();
    });
    TextArray ids;
    int count = 0;
    if (!steps.Step([&] {
            form.Control(kPauseButton).SetEnabled(true);
            form.Control(kStopButton).SetEnabled(true);
            form.Control(kStartButton).SetEnabled(false);
            // The rows the run covers, taken once; they keep their places while the run is active
            // (sorting waits for its end).
            ids = steps.list().ColumnCells(kColId);
            count = static_cast<int>(ids.size());
            steps.state().gameCount = count;
        }))
        return;
    for (int g = 1; g <= count; ++g) {
        if (!TotalOneGame(steps, g, count, ids[static_cast<std::size_t>(g - 1)])) return;
    }
    finish();
}

Text Progress(const TotalWindow& state, std::string_view what)
{
    return TotalProgressText(state.gameIndex, state.gameCount, what);
}

}  // namespace

// --- Pages and texts ---------------------------------------------------------------------------------

Text TotalFirstPageAddress(std::string_view gameId) { return DealListPageAddress(gameId, "-1", "-1", "-1", 1); }

Text TotalPageAddress(std::string_view gameId, int page)
{
    Text url = "http://" + DealListHost() + "/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=";
    url += gameId;
    url += "&raceid=-1&ga=-1&gs=-1&bt=-1&sort=-1&section=-1_-1&pg=" + IntegerToText(page) +
           "&ps=" + IntegerToText(kDealPageSize);
    return url;
}

std::vector<TotalGame> ParseTotalGameList(std::string_view allGamesReply)
{
    const PickItems items =
        ParseAllGamesReply(GetTextBetween(allGamesReply, "callgame([", "]},{name:'WEBG',list:[]}])"));
    std::vector<TotalGame> games;
    games.reserve(items.ids.size());
    for (std::size_t i = 0; i < items.ids.size() && i < items.names.size(); ++i)
        games.push_back({items.ids[i], items.names[i]});
    return games;
}

TextArray PageAmounts(std::string_view reply)
{
    TextArray amounts;
    for (const Text& record : SplitDealRecords(reply)) amounts.push_back(PriceNumberText(ParseDealRecord(record).price));
    return amounts;
}

Text SumAmounts(const TextArray& amounts)
{
    Text total;
    for (const Text& a : amounts) total = AddToTextSum(total, TextToNumber(a));
    return total;
}

Text TotalProgressText(int game, int count, std::string_view state)
{
    Text t = "查询进度：" + IntegerToText(game) + "/" + IntegerToText(count) + "     状态：";
    t += state;
    return t;
}

int TotalColumnSortKind(int column)
{
    switch (column) {
    case kColNumber: return ListViewSortNumber;
    case kColId: return ListViewSortText;
    case kColTotal: return ListViewSortNumber;
    case kColDeals: return ListViewSortNumber;
    default: return -1;
    }
}

int TotalVolumeWorkersAlive() { return g_workersAlive.load(); }

// --- Layout ------------------------------------------------------------------------------------------

WindowLayout TotalVolumeWindowLayout()
{
    using namespace ui;
    WindowLayout w;
    w.title = kTotalVolumeTitle;
    w.bounds = {50, 50, 475, 490};
    w.Add(ListView(kGameList, {10, 10, 450, 380},
                   {{"序号", 45}, {"游戏名", 150}, {"ID", 0}, {"总交易量", 80}, {"交易笔数", 60}, {"状态", 90}}));
    // The work list of the game being totalled: it lies outside the client area and is never seen.
    w.Add(ListView(kWorkList, {520, 216, 152, 208}, {{"1", 50}}));
    w.Add(Label(kProgressLabel, "", {10, 385, 450, 20}));
    w.Add(TransparentLabel(kSortLabel, "", {168, 424, 32, 24}).Hide());
    w.Add(SuperButton(kStartButton, "开始获取5173成交量", {10, 415, 150, 30}));
    w.Add(SuperButton(kPauseButton, kPause, {205, 415, 75, 30}));
    w.Add(SuperButton(kStopButton, "停止", {285, 415, 75, 30}));
    w.Add(SuperButton(kExportButton, "导出Excel", {385, 415, 75, 30}));
    w.Add(GroupBox(kExportPanel, "正在导出Excel请稍后......", {35, 150, 400, 60}));
    w.Add(ProgressBar(kExportProgress, {10, 20, 380, 30}).In(kExportPanel));
    w.Add(FileDialog(kFileDialog, "导出资料", "*.xls", "xls"));
    return w;
}

EventTable TotalVolumeWindowEvents()
{
    return {
        {"", Event::Created, OnTotalWindowCreated},
        {"", Event::Destroyed, OnTotalWindowClosing},
        {kStartButton, Event::Click, OnTotalStartClicked},
        {kPauseButton, Event::Click, OnTotalPauseResumeClicked},
        {kStopButton, Event::Click, OnTotalStopClicked},
        {kExportButton, Event::Click, OnTotalExportClicked},
        {kGameList, Event::ColumnClick, OnTotalListColumnClick},
    };
}

Form LoadTotalVolumeWindow() { return LoadForm(TotalVolumeWindowLayout(), TotalVolumeWindowEvents()); }

void BindTotalVolumeEvents(EventTable& events)
{
    events.push_back({kTotalVolumeOpener, Event::Click, OnOpenTotalVolumeClicked});
}

// --- Handlers ----------------------------------------------------------------------------------------

void OnOpenTotalVolumeClicked(const EventArgs&) { LoadTotalVolumeWindow(); }

void OnTotalWindowCreated(const EventArgs& args)
{
    const Form form = *args.form;
    form.Control(kGameList).SetData(std::make_shared<TotalWindow>());
    form.Control(kStartButton).SetEnabled(false);
    form.Control(kPauseButton).SetEnabled(false);
    form.Control(kStopButton).SetEnabled(false);
    form.Control(kSortLabel).SetText("降");
    form.Control(kExportPanel).SetVisible(false);
    ++g_workersAlive;
    if (!StartWorker([form] {
            WorkerEnds ends;
            LoadTotalGameList(form);
        }))
        --g_workersAlive;
}

void OnTotalWindowClosing(const EventArgs& args)
{
    if (const auto state = StateOf(*args.form)) {
        state->closed = true;
        state->run.Stop();
    }
}

void OnTotalStartClicked(const EventArgs& args)
{
    const Form form = *args.form;
    const auto state = StateOf(form);
    if (!state || state->started) return;  // a window runs once; a second click starts nothing
    state->started = true;
    state->active = true;
    form.Control(kStartButton).SetEnabled(false);
    ++g_workersAlive;
    const bool started = state->run.Start([form, state](const RunToken& token) {
        WorkerEnds ends;
        RunSteps steps(form, state, token);
        SumAllGamesVolume(steps);
    });
    if (!started) {
        --g_workersAlive;
        state->started = false;
        state->active = false;
        form.Control(kStartButton).SetEnabled(true);
    }
}

void OnTotalPauseResumeClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    const auto state = StateOf(form);
    if (!state) return;
    Control button = form.Control(kPauseButton);
    const Text caption = button.GetText();
    if (caption == kPause) {
        form.Control(kProgressLabel).SetText(Progress(*state, "暂停..."));
        state->paused = true;
        state->run.Pause();
        button.SetText(kResume);
    } else if (caption == kResume) {
        form.Control(kProgressLabel).SetText(Progress(*state, "运行中..."));
        state->paused = false;
        state->run.Resume();
        button.SetText(kPause);
    }
}

void OnTotalStopClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    const auto state = StateOf(form);
    if (!state) return;
    form.Control(kPauseButton).SetEnabled(false);
    form.Control(kStopButton).SetEnabled(false);
    form.Control(kProgressLabel).SetText(Progress(*state, "停止..."));
    // The run writes nothing more from here on and ends at its next safe point; a paused run is
    // released to end (the caption of 暂停继续 stays as it is).
    state->stopped = true;
    state->active = false;
    state->run.Stop();
    TotalRunIdle = true;
}

void OnTotalListColumnClick(const EventArgs& args)
{
    const Form& form = *args.form;
    const auto state = StateOf(form);
    if (!TotalRunIdle.load() || (state && state->active)) {
        ShowMessageBox("需停止查询或所有游戏查询结束后，才能进行排序！", {}, MB_OK);
        return;
    }
    Control label = form.Control(kSortLabel);
    bool ascending = false;
    if (!SortDirectionFromLabel(label.GetText(), ascending))
        return;
    const int kind = TotalColumnSortKind(args.column);
    if (kind >= 0) SortListViewByColumn(form.Control(kGameList).Handle(), args.column, kind, true, ascending);
    label.SetText(SortDirectionLabel(ascending));
}

Text TotalExportFileName(DateTime now) { return "5173游戏总交易量-BrelmorQuovanta" + DateTimeToText(now); }

void OnTotalExportClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    ExcelExportRequest request;
    request.listView = form.Control(kGameList);
    request.columns = {kColNumber, kColName, kColTotal, kColDeals, kColState};  // not the hidden ID
    request.sheetName = ExportSheetName();
    request.progressBar = form.Control(kExportProgress);
    RunExportCommand(form.Control(kFileDialog), form.Control(kExportPanel), TotalExportFileName(NowDateTime()),
                     request);
}
