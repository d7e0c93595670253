// NewGameWindow: its layout and opening, the platform's game list, the pages of the 17173 test list
// with their row pattern, the matching of each new game to the platform's id, and the button states.
#include "client/new_game_window.h"

#include "client/new_game_state.h"
#include "client/pick_lists.h"
#include "client/program_state.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "helpers/regex_object.h"
#include "helpers/text_helpers.h"
#include "runtime/numbers.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <algorithm>
#include <climits>
#include <unordered_map>

Form NewGameWindow;

namespace {

constexpr char kList[] = "新游测试行情";
constexpr char kPlatformList[] = "超级列表框_5173游戏列表";
constexpr char kListButton[] = "超级按钮_获取17173列表";
constexpr char kUpButton[] = "超级按钮_向上";
constexpr char kDownButton[] = "超级按钮_向下";
constexpr char kVolumeButton[] = "超级按钮_获取51数据";
constexpr char kPauseButton[] = "超级按钮_暂停继续";
constexpr char kStopButton[] = "超级按钮_停止";
constexpr char kStatusBar[] = "状态条1";

constexpr char kListCaption[] = "获取17173新游测试表";
constexpr char kInitialisingCaption[] = "初始化中...";

constexpr char kAllGamesLeft[] = "callgame([";
constexpr char kAllGamesRight[] = "]},{name:'WEBG',list:[]}])";

}  // namespace

// Eight lines joined by CR LF: "<tr>", then six cells each indented by a TAB and 16 blanks (the first
// cell written "<td >"), then a TAB and 12 blanks, where the page closes the row.
const char kNewGameRowPattern[] =
    "<tr>\r\n"
    "\t                <td >(.*?)</td>\r\n"
    "\t                <td><a href=\"(.*?)\" target=\"_blank\" title=\"(.*?)\">(.*?)</a></td>\r\n"
    "\t                <td>(.*?)</td>\r\n"
    "\t                <td>(.*?)</td>\r\n"
    "\t                <td><a href=\"(.*?)\" target=\"_blank\">(.*?)</a></td>\r\n"
    "\t                <td><a href=\"(.*?)\" target=\"_blank\">(.*?)</a></td>\r\n"
    "\t            ";

// --- Layout ---------------------------------------------------------------------------------------------

WindowLayout NewGameWindowLayout()
{
    using namespace ui;
    WindowLayout w;
    w.title = kNewGameWindowTitle;
    w.bounds = {50, 50, 800, 530};
    w.Add(ListView(kList, {10, 10, 775, 422},
                   {{"序号", 40},
                    {"测试时间", 80},
                    {"17173评测页", 0},
                    {"游戏名称", 100},
                    {"测试名称", 100},
                    {"是否需激活码", 90},
                    {"17173开发商介绍", 0},
                    {"开发商", 100},
                    {"17173运营商介绍", 0},
                    {"运营商", 100},
                    {"5173成交量", 100},
                    {"5173游戏ID", 0},
                    {"交易笔数", 60}}));
    // The work lists lie inside the area of the test list and are never shown.
    w.Add(ListView(kPlatformList, {536, 24, 160, 168}, {{"序号", 50}, {"游戏名", 50}, {"ID", 50}}).Hide());
    w.Add(ListView("总价_17173", {536, 208, 152, 208}, {{"1", 50}}).Hide());
    w.Add(SuperButton(kListButton, kListCaption, {10, 440, 150, 30}));
    w.Add(SuperButton(kUpButton, "向上翻100条", {165, 440, 100, 30}));
    w.Add(SuperButton(kDownButton, "向下翻100条", {270, 440, 100, 30}));
    // The sort direction lies where 获取51数据 is; added before it, it lies under the button, which
    // takes the clicks.
    w.Add(TransparentLabel("透明标签_排序", "升", {464, 448, 40, 24}));
    w.Add(SuperButton(kVolumeButton, "开始获取5173成交量", {390, 440, 150, 30}));
    w.Add(SuperButton(kPauseButton, "暂停", {545, 440, 75, 30}));
    w.Add(SuperButton(kStopButton, "停止", {625, 440, 75, 30}));
    w.Add(SuperButton("超级按钮_导出17173", "导出Excel", {710, 440, 75, 30}));
    // Part 0: progress and results; part 1: the state of the volume run.
    w.Add(StatusBar(kStatusBar, {0, 462, 884, 20}, {500, 200, -1}));
    // The export panel lies over the list; the created handler hides it.
    w.Add(GroupBox("分组框2", "正在导出Excel请稍后......", {190, 170, 450, 65}));
    w.Add(ProgressBar("进度条1", {5, 15, 440, 40}).In("分组框2"));
    w.Add(FileDialog("通用对话框1", "导出资料", "*.xls", "xls"));
    w.Add(PopupMenu("测试行情菜单", {"打开评测页面", "打开开发商页面", "打开运营商页面", "领取17173福利"}));
    return w;
}

EventTable NewGameWindowEvents()
{
    return {
        {"", Event::Created, OnNewGameWindowCreated},
        {"", Event::Destroyed, OnNewGameWindowDestroyed},
        {kListButton, Event::Click, OnNewGameListClicked},
        {kUpButton, Event::Click, OnNewGamePageUpClicked},
        {kDownButton, Event::Click, OnNewGamePageDownClicked},
        {kVolumeButton, Event::Click, OnNewGameVolumeClicked},
        {kPauseButton, Event::Click, OnNewGamePauseResumeClicked},
        {kStopButton, Event::Click, OnNewGameStopClicked},
        {kList, Event::RightButton, OnNewGameListRightClick},
        {kList, Event::ColumnClick, OnNewGameListColumnClick},
        {"打开评测页面", Event::Click, OnOpenReviewPageMenu},
        {"打开开发商页面", Event::Click, OnOpenDeveloperPageMenu},
        {"打开运营商页面", Event::Click, OnOpenOperatorPageMenu},
        {"领取17173福利", Event::Click, OnOpenGiftPageMenu},
        {"超级按钮_导出17173", Event::Click, OnNewGameExportClicked},
    };
}

void OnOpenNewGameWindowClicked(const EventArgs&)
{
    if (NewGameWindow.IsOpen()) {
        HWND h = NewGameWindow.Handle();
        if (IsIconic(h))
            ShowWindow(h, SW_RESTORE);
        SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(h);
        return;
    }
    NewGameWindow = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
}

void BindNewGameOpenerEvents(EventTable& events)
{
    events.push_back({"超级按钮_17173交易", Event::Click, OnOpenNewGameWindowClicked});
}

// --- State and buttons ----------------------------------------------------------------------------------

std::shared_ptr<NewGameState> NewGameStateOf(const Form& form)
{
    return std::static_pointer_cast<NewGameState>(form.Control(kList).Data());
}

bool NewGamePageLoadAllowed(const NewGameState& s) { return !s.pageLoading && !s.runActive; }

bool NewGameRunAllowed(const NewGameState& s) { return NewGamePageLoadAllowed(s) && s.volumeAllowed; }

void ApplyNewGameButtons(const Form& form, const NewGameState& s)
{
    if (NewGamePageNumber.load() < 1)
        NewGamePageNumber = 1;
    const bool free = NewGamePageLoadAllowed(s);
    form.Control(kListButton).SetEnabled(free && !s.platformLoading);
    form.Control(kUpButton).SetEnabled(free && NewGamePageNumber.load() > 1);
    form.Control(kDownButton).SetEnabled(free);
    form.Control(kVolumeButton).SetEnabled(NewGameRunAllowed(s));
    form.Control(kPauseButton).SetEnabled(s.runActive);
    form.Control(kStopButton).SetEnabled(s.runActive);
}

NewGameActivity NewGameWindowActivity(const Form& form)
{
    NewGameActivity a;
    if (auto s = NewGameStateOf(form)) {
        a.platformLoading = s->platformLoading;
        a.pageLoading = s->pageLoading;
        a.runActive = s->runActive;
    }
    return a;
}

int NewGameRowOf(const Control& list, std::string_view number)
{
    const int rows = list.RowCount();
    for (int r = 0; r < rows; ++r) {
        if (list.Cell(r, kNewGameNumber) == number)
            return r;
    }
    return -1;
}

// --- Texts of the pages ---------------------------------------------------------------------------------

Text NewGameListAddress(int page)
{
    return "http://" + NewGameHost() + "/testing-list.html?page=" + IntegerToText(page < 1 ? 1 : page) +
           "&type=0&theme=0&frame=0";
}

std::vector<TextArray> ParseNewGamePage(std::string_view pageText)
{
    std::vector<TextArray> rows;
    RegexObject regex;
    if (regex.Create(kNewGameRowPattern, pageText)) {
        const int count = std::min(regex.GetMatchCount(), kMaxNewGameRowsPerPage);
        rows.reserve(static_cast<std::size_t>(count));
        // Groups 1 to 10 of the pattern by column; group 4 (the text of the game link) is not shown.
        static const int kGroupOfColumn[] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10};
        for (int i = 1; i <= count; ++i) {
            TextArray row(kNewGameColumnCount);
            row[kNewGameNumber] = IntegerToText(i);
            for (int column = 1; column <= kNewGameOperator; ++column)
                row[static_cast<std::size_t>(column)] = regex.GetSubMatch(i, kGroupOfColumn[column]);
            rows.push_back(std::move(row));
        }
    }
    regex.Destroy();
    return rows;
}

Text MatchPlatformGameId(std::string_view name, const TextArray& platformNames, const TextArray& platformIds)
{
    // An empty name is in every name: it would take the first game's id and so its trade volume.
    if (name.empty())
        return Text();
    const std::size_t n = std::min(platformNames.size(), platformIds.size());
    for (std::size_t k = 0; k < n; ++k) {
        if (FindText(platformNames[k], name, 1, true) > 0)
            return platformIds[k];
    }
    return Text();
}

std::vector<TextArray> NewGamePlatformRows(std::string_view allGamesReply)
{
    const PickItems games = ParseAllGamesReply(GetTextBetween(allGamesReply, kAllGamesLeft, kAllGamesRight));
    std::vector<TextArray> rows;
    rows.reserve(games.names.size());
    for (std::size_t k = 0; k < games.names.size() && k < games.ids.size(); ++k)
        rows.push_back({IntegerToText(static_cast<long long>(k) + 1), games.names[k], games.ids[k]});
    return rows;
}

// --- Workers --------------------------------------------------------------------------------------------

namespace {

// The platform's games into the work list, in one step; then 获取17173列表 comes back unless a page
// load or the run holds it. A load that runs out of memory ends as one that read no game.
void LoadNewGamePlatformGames(const Form& form, const std::shared_ptr<NewGameState>& state)
{
    std::vector<TextArray> rows;
    Control games = form.Control(kPlatformList);
    const RunEnd end([&](bool) {
        RunOnWindowThread(games, [&] {
            games.SetRows(rows);
            state->platformLoading = false;
            form.Control(kListButton).SetText(kListCaption);
            ApplyNewGameButtons(form, *state);
        });
    });
    rows = NewGamePlatformRows(FetchUrlText(AllGamesUrl()));
}

// Each row's platform id by its name. The names of the rows and the platform's games are read in one
// step, the ids written in another, each to the row of its 序号: a sort in between moves no id into
// another game's row.
void MatchNewGamePlatformIds(const Form& form, const std::shared_ptr<NewGameState>& state)
{
    Control list = form.Control(kList);
    Control games = form.Control(kPlatformList);
    TextArray numbers, names, gameNames, gameIds;
    if (!RunOnWindowThread(list, [&] {
            numbers = list.ColumnCells(kNewGameNumber);
            names = list.ColumnCells(kNewGameName);
            gameNames = games.ColumnCells(1);
            gameIds = games.ColumnCells(2);
        }))
        return;
    std::unordered_map<Text, std::pair<Text, Text>> byNumber;  // 序号 -> name read, id found
    for (std::size_t r = 0; r < numbers.size() && r < names.size(); ++r)
        byNumber[numbers[r]] = {names[r], MatchPlatformGameId(names[r], gameNames, gameIds)};

    RunOnWindowThread(list, [&] {
        RedrawHold hold(list.Handle());
        const int rows = list.RowCount();
        for (int r = 0; r < rows; ++r) {
            auto it = byNumber.find(list.Cell(r, kNewGameNumber));
            if (it != byNumber.end() && list.Cell(r, kNewGameName) == it->second.first)
                list.SetCell(r, kNewGamePlatformId, it->second.second);
        }
    });
}

// One page of the test list appended whole (a sort may come before or after it), then the matching.
// The end of the load gives the buttons back, however it ends: a load that runs out of memory ends
// with the rows it has, as a page that was read and matched.
void LoadNewGamePage(const Form& form, const std::shared_ptr<NewGameState>& state, int page)
{
    const RunEnd end([&](bool) {
        RunOnWindowThread(form.Control(kList), [&] {
            form.Control(kStatusBar).SetPartText(0, kNewGameListLoaded);
            state->pageLoading = false;
            state->volumeAllowed = true;
            ApplyNewGameButtons(form, *state);
        });
    });
    const std::vector<TextArray> rows = ParseNewGamePage(Utf8ToGbk(FetchUrlText(NewGameListAddress(page))));
    Control list = form.Control(kList);
    if (!RunOnWindowThread(list, [&] {
            if (!rows.empty())
                list.InsertRows(-1, rows);
        }))
        return;
    MatchNewGamePlatformIds(form, state);
}

// The click of a page button: the page number, the buttons held, the list emptied, the load started.
void StartPageLoad(const Form& form, int (*nextPage)(int))
{
    std::shared_ptr<NewGameState> state = NewGameStateOf(form);
    if (!state || !NewGamePageLoadAllowed(*state))
        return;
    const int page = nextPage(NewGamePageNumber.load());
    NewGamePageNumber = page;
    state->pageLoading = true;
    ApplyNewGameButtons(form, *state);
    Control list = form.Control(kList);
    WriteBatch({list}, [&] { list.ClearRows(); });
    form.Control(kStatusBar).SetPartText(0, kNewGameListLoading);
    if (!StartWorker([form, state, page] { LoadNewGamePage(form, state, page); })) {
        state->pageLoading = false;
        ApplyNewGameButtons(form, *state);
    }
}

}  // namespace

// --- Handlers -------------------------------------------------------------------------------------------

void OnNewGameWindowCreated(const EventArgs& args)
{
    const Form form = *args.form;
    auto state = std::make_shared<NewGameState>();
    form.Control(kList).SetData(state);
    form.Control("分组框2").SetVisible(false);
    form.Control(kListButton).SetText(kInitialisingCaption);
    NewGamePageNumber = 1;
    ApplyNewGameButtons(form, *state);
    if (!StartWorker([form, state] { LoadNewGamePlatformGames(form, state); })) {
        state->platformLoading = false;
        form.Control(kListButton).SetText(kListCaption);
        ApplyNewGameButtons(form, *state);
    }
}

void OnNewGameWindowDestroyed(const EventArgs& args)
{
    // A run of the window ends at its next safe point and writes nothing more; the loads find the
    // window gone at their next step.
    if (auto state = NewGameStateOf(*args.form)) {
        if (state->run)
            state->run->Stop();
        state->runActive = false;
    }
}

void OnNewGameListClicked(const EventArgs& args)
{
    if (auto state = NewGameStateOf(*args.form); state && state->platformLoading)
        return;
    StartPageLoad(*args.form, [](int) { return 1; });
}

void OnNewGamePageUpClicked(const EventArgs& args)
{
    StartPageLoad(*args.form, [](int page) { return page <= 2 ? 1 : page - 1; });
}

void OnNewGamePageDownClicked(const EventArgs& args)
{
    StartPageLoad(*args.form, [](int page) { return page < 1 ? 2 : page == INT_MAX ? INT_MAX : page + 1; });
}
