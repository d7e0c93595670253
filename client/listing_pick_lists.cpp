// The pick lists of page 2 below the game: goods type, operator, area and server, each read from the
// page that the choice above it points to (see monitor_page.h and listing_pages.h).
//
// A pick empties the lists below it at once and starts a worker that reads the next page. Each level
// has a generation number: a pick raises the numbers of every level it empties, and a worker writes
// only while the number it was started with is still the newest, so a slow page of an earlier pick
// never lands in the lists of a later one. A worker hands a list and its hidden twin to the window
// thread whole, in one step; the page of a goods type is handed on to the area load that follows it.
#include "client/listing_pages.h"
#include "client/monitor_page.h"
#include "client/pick_lists.h"
#include "helpers/http_client.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <optional>

std::atomic<int> OperatorChoiceFlag{0};
SharedText GoodsTypePageText;

namespace {

constexpr char kTypeNames[] = "商品类型_类型_显1";
constexpr char kTypeLinks[] = "商品类型_类型_隐1";
constexpr char kOperatorNames[] = "运营商_显";
constexpr char kOperatorLinks[] = "运营商_隐";
constexpr char kAreaNames[] = "游戏分区_大区_显1";
constexpr char kAreaLinks[] = "游戏分区_大区_隐1";
constexpr char kServerNames[] = "游戏伺服_服务器_显1";
constexpr char kServerLinks[] = "游戏伺服_服务器_隐1";

constexpr char kNoGoods[] = "很抱歉！当前游戏分类下没找到相关商品。";

std::atomic<unsigned> g_typesGeneration{0};
std::atomic<unsigned> g_operatorsGeneration{0};
std::atomic<unsigned> g_areasGeneration{0};
std::atomic<unsigned> g_serversGeneration{0};
std::atomic<int> g_loadsRunning{0};

// The generations a load was started with; a level is written only while its number is the newest.
struct Generations {
    unsigned types = 0, operators = 0, areas = 0, servers = 0;
    bool Types() const { return types == g_typesGeneration.load(); }
    bool Operators() const { return operators == g_operatorsGeneration.load(); }
    bool Areas() const { return areas == g_areasGeneration.load(); }
    bool Servers() const { return servers == g_serversGeneration.load(); }
};

Generations CurrentGenerations()
{
    return {g_typesGeneration.load(), g_operatorsGeneration.load(), g_areasGeneration.load(),
            g_serversGeneration.load()};
}

constexpr char kStatus[] = "状态";

// A status text into the never-shown label 状态 and part 1 of the status bar.
void ShowStatus(const Form& form, std::string_view text)
{
    form.Control(kStatus).SetText(text);
    form.Control("状态条1").SetPartText(1, text);
}

// The item of a hidden twin at its own selection, read on the window thread; nullopt when the window
// is gone.
std::optional<Text> SelectedLink(const Form& form, const char* hidden)
{
    Text link;
    if (!RunOnWindowThread(form.Control(hidden), [&] {
            Control c = form.Control(hidden);
            link = c.Item(c.Selection());
        }))
        return std::nullopt;
    return link;
}

// Window thread: one list and its twin replaced by `items` (or emptied) in one step.
void WritePair(const Form& form, const char* names, const char* links, const PickItems* items)
{
    if (items)
        FillLists({form.Control(names), form.Control(links)}, {&items->names, &items->ids});
    else
        FillLists({form.Control(names), form.Control(links)}, {});
}

void EmptyPairs(const Form& form, std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    std::vector<Control> lists;
    for (const auto& [names, links] : pairs) {
        lists.push_back(form.Control(names));
        lists.push_back(form.Control(links));
    }
    FillLists(lists, {});
}

// The end of a load that ran out of memory: while its level is still current, the status says the
// load is done, as after a page without any choice (the lists it emptied stay empty).
std::function<void(bool)> DoneWhenFailed(const Form& form, std::function<bool()> current, const char* done)
{
    return StatusWhenLoadFails(form.Control(kStatus), std::move(current), [form, done] { ShowStatus(form, done); });
}

// Starts a load on a worker, counted while it runs.
void StartLoad(std::function<void()> load)
{
    ++g_loadsRunning;
    if (!StartWorker([load = std::move(load)] {
            const RunEnd end([](bool) { --g_loadsRunning; });
            load();
        }))
        --g_loadsRunning;
}

void LoadMonitorGoodsTypes(const Form& form, Generations g)
{
    const RunEnd end(DoneWhenFailed(form, [g] { return g.Types(); }, "商品类型 列表载入完成！"));
    Text gameId;
    GamePickPage games = MonitorPageGames();
    if (!RunOnWindowThread(form.Control(games.visibleNames), [&] {
            gameId = MirrorSelection(form, games.visibleNames, games.visibleIds);
            if (g.Types()) ShowStatus(form, "商品类型 列表载入中...");
        }))
        return;
    if (!g.Types()) return;
    const Text page = FetchUrlText(ListingSearchPageUrl(gameId));
    if (!HasGoodsTypeBlock(page)) {
        // The loading text stays: the game has no goods on sale.
        if (g.Types() && form.IsOpen()) ShowMessageBox(kNoGoods, "信息：", MB_OK);
        return;
    }
    const PickItems types = ParseGoodsTypeChoices(page);
    RunOnWindowThread(form.Control(kTypeNames), [&] {
        if (!g.Types()) return;
        WritePair(form, kTypeNames, kTypeLinks, &types);
        ShowStatus(form, "商品类型 列表载入完成！");
    });
}

// The areas of a goods type's page (`page`) or, without one, of the chosen operator's page.
void LoadMonitorAreas(const Form& form, Generations g, std::optional<Text> page)
{
    const RunEnd end(DoneWhenFailed(form, [g] { return g.Areas(); }, "游戏分区 列表载入完成！"));
    RunOnWindowThread(form.Control(kAreaNames), [&] {
        if (g.Areas()) ShowStatus(form, "游戏分区 列表载入中...");
    });
    if (!page) {
        std::optional<Text> link = SelectedLink(form, kOperatorLinks);
        if (!link || !g.Areas()) return;
        page = FetchUrlText(*link);
    }
    const PickItems areas = ParseAreaChoices(*page);
    RunOnWindowThread(form.Control(kAreaNames), [&] {
        if (!g.Areas()) return;
        WritePair(form, kAreaNames, kAreaLinks, &areas);
        ShowStatus(form, "游戏分区 列表载入完成！");
    });
}

void LoadOperators(const Form& form, Generations g, const Text& page)
{
    const RunEnd end(DoneWhenFailed(form, [g] { return g.Operators(); }, "运营商 列表载入完成！"));
    RunOnWindowThread(form.Control(kOperatorNames), [&] {
        if (g.Operators()) ShowStatus(form, "运营商 列表载入中...");
    });
    const PickItems operators = ParseOperatorChoices(page);
    RunOnWindowThread(form.Control(kOperatorNames), [&] {
        if (!g.Operators()) return;
        OperatorChoiceFlag = 1;
        WritePair(form, kOperatorNames, kOperatorLinks, &operators);
        if (g.Areas()) WritePair(form, kAreaNames, kAreaLinks, nullptr);
        ShowStatus(form, "运营商 列表载入完成！");
    });
}

// Reads the page of the chosen goods type and goes on with its operators or, without a choice of
// operator, with the areas of that same page.
void ProbeOperators(const Form& form, Generations g)
{
    Text page;
    {
        const RunEnd end(DoneWhenFailed(form, [g] { return g.Operators(); }, "运营商 列表载入完成！"));
        form.Control("状态条1").SetPartText(1, "读取列表中，请稍后...");
        std::optional<Text> link = SelectedLink(form, kTypeLinks);
        if (!link || !g.Operators()) return;
        page = FetchUrlText(*link);
    }
    if (!g.Operators()) return;
    GoodsTypePageText.Set(page);
    if (!OffersOperatorChoice(page)) {
        LoadMonitorAreas(form, g, std::move(page));
        return;
    }
    OperatorChoiceFlag = 1;
    LoadOperators(form, g, page);
}

void LoadMonitorServers(const Form& form, Generations g)
{
    const RunEnd end(DoneWhenFailed(form, [g] { return g.Servers(); }, "服务器 列表载入完成！"));
    RunOnWindowThread(form.Control(kServerNames), [&] {
        if (g.Servers()) ShowStatus(form, "服务器 列表载入中...");
    });
    std::optional<Text> link = SelectedLink(form, kAreaLinks);
    if (!link || !g.Servers()) return;
    const Text page = FetchUrlText(*link);
    const PickItems servers = ParseServerChoices(page);
    RunOnWindowThread(form.Control(kServerNames), [&] {
        if (!g.Servers()) return;
        WritePair(form, kServerNames, kServerLinks, &servers);
        ShowStatus(form, "服务器 列表载入完成！");
    });
}

}  // namespace

int MonitorPickLoadsRunning() { return g_loadsRunning.load(); }

void OnMonitorGameSelected(const EventArgs& e)
{
    const Form form = *e.form;
    // A new game: whatever is still loading for the previous one is of no use any more (its operator
    // list stays shown until a goods type is picked).
    ++g_typesGeneration;
    ++g_operatorsGeneration;
    ++g_areasGeneration;
    ++g_serversGeneration;
    const Generations g = CurrentGenerations();
    EmptyPairs(form, {{kTypeNames, kTypeLinks}, {kAreaNames, kAreaLinks}, {kServerNames, kServerLinks}});
    EmptyOfferList(form);
    StartLoad([form, g] { LoadMonitorGoodsTypes(form, g); });
}

void OnMonitorGoodsTypeSelected(const EventArgs& e)
{
    const Form form = *e.form;
    MirrorSelection(form, kTypeNames, kTypeLinks);
    ++g_operatorsGeneration;
    ++g_areasGeneration;
    ++g_serversGeneration;
    // Taken before the messages are handled below: a pick made meanwhile is newer than this one.
    const Generations g = CurrentGenerations();
    EmptyPairs(form, {{kOperatorNames, kOperatorLinks}, {kAreaNames, kAreaLinks}, {kServerNames, kServerLinks}});
    EmptyOfferList(form);
    ProcessPendingMessages();
    OperatorChoiceFlag = 0;
    StartLoad([form, g] { ProbeOperators(form, g); });
}

void OnOperatorSelected(const EventArgs& e)
{
    const Form form = *e.form;
    MirrorSelection(form, kOperatorNames, kOperatorLinks);
    ++g_areasGeneration;
    ++g_serversGeneration;
    const Generations g = CurrentGenerations();
    EmptyPairs(form, {{kAreaNames, kAreaLinks}, {kServerNames, kServerLinks}});
    EmptyOfferList(form);
    ProcessPendingMessages();
    StartLoad([form, g] { LoadMonitorAreas(form, g, std::nullopt); });
}

void OnMonitorAreaSelected(const EventArgs& e)
{
    const Form form = *e.form;
    MirrorSelection(form, kAreaNames, kAreaLinks);
    ++g_serversGeneration;
    const Generations g = CurrentGenerations();
    EmptyPairs(form, {{kServerNames, kServerLinks}});
    EmptyOfferList(form);
    ProcessPendingMessages();
    StartLoad([form, g] { LoadMonitorServers(form, g); });
}

void OnMonitorServerSelected(const EventArgs& e) { MirrorSelection(*e.form, kServerNames, kServerLinks); }
