#include "client/pick_lists.h"

#include "client/main_window.h"
#include "client/page_bounds.h"
#include "client/program_state.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "helpers/message_pump.h"
#include "helpers/regex_object.h"
#include "helpers/text_helpers.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Page 0's other pick lists.
constexpr char kAreaNames[] = "游戏分区_大区_显";
constexpr char kAreaIds[] = "游戏分区_大区_隐";
constexpr char kServerNames[] = "游戏伺服_服务器_显";
constexpr char kServerIds[] = "游戏伺服_服务器_隐";
constexpr char kGoodsTypeNames[] = "商品类型_类型_显";
constexpr char kGoodsTypeIds[] = "商品类型_类型_隐";
constexpr char kStatusLabel[] = "状态";
constexpr char kStatusBar[] = "状态条1";

// The generation of the latest load asked for, one counter per set of lists: the game lists, the
// area and goods-type pairs, the server pair. A load's write step compares its own number with it.
std::atomic<unsigned> g_gamesGeneration{0};
std::atomic<unsigned> g_areasGeneration{0};
std::atomic<unsigned> g_serversGeneration{0};
// Counts the writes of the area lists. A server load belongs to an area of the lists that were shown
// when it was asked for: once other areas have been written since, its servers would stand beside
// areas they do not belong to, and it writes nothing.
std::atomic<unsigned> g_areasWritten{0};

// A status text into part 1 of the status bar and, unless `barOnly`, into the status label.
void ShowStatus(const Form& form, std::string_view text, bool barOnly = false)
{
    if (!barOnly)
        form.Control(kStatusLabel).SetText(text);
    form.Control(kStatusBar).SetPartText(1, text);
}

// The full game lists of a page as they were last filled, kept beside the hidden lists (in the data
// slot of the full name list) so that a filter need not read every item back out of the controls.
// Written and read on the window thread only.
void KeepFullGames(const Form& form, const GamePickPage& page, std::shared_ptr<PickItems> games)
{
    form.Control(page.allNames).SetData(std::move(games));
}

// Window thread: the full game lists of a page.
PickItems FullGames(const Form& form, const GamePickPage& page)
{
    if (auto kept = std::static_pointer_cast<PickItems>(form.Control(page.allNames).Data()))
        return *kept;
    return {form.Control(page.allNames).Items(), form.Control(page.allIds).Items()};
}

// Window thread: the visible game pair of a page rebuilt from a filter's result.
void ShowGames(const Form& form, const GamePickPage& page, const PickItems& games)
{
    FillLists({form.Control(page.visibleNames), form.Control(page.visibleIds)}, {&games.names, &games.ids});
}

// One piece of an area or server record: the name after ",name:'" and the id after "id:'".
PickItems ParseQuotedRecords(std::string_view reply, std::string_view open)
{
    PickItems out;
    Text block = GetTextBetween(reply, open, "])");
    for (const Text& piece : SplitPageRecords(block, "}", true)) {
        out.names.push_back(GetTextBetween(piece, ",name:'", "'"));
        out.ids.push_back(GetTextBetween(piece, "id:'", "'"));
    }
    return out;
}

void RunLoadAllGames(const Form& form, unsigned generation)
{
    const RunEnd end(StatusWhenLoadFails(
        form.Control(kStatusLabel), [generation] { return generation == g_gamesGeneration.load(); },
        [form] { ShowStatus(form, "游戏名 列表载入完成！"); }));
    ShowStatus(form, "游戏名 列表载入中...");
    // On the window thread ("全部游戏ALL") the request and the cutting run on a worker while the
    // window goes on painting.
    PickItems games;
    RunOffWindowThread([&] {
        Text reply = FetchUrlText(AllGamesUrl());
        PumpPendingMessages();
        games = ParseAllGamesReply(reply);
    });
    PumpPendingMessages();
    GamePickPage query = QueryPageGames(), monitor = MonitorPageGames();
    RunOnWindowThread(form.Control(query.visibleNames), [&] {
        if (generation != g_gamesGeneration.load())
            return;  // a later load fills the lists
        // A reply without any game (the platform unreachable, or a page of another kind) is no list of
        // games: the lists keep what they hold.
        if (!games.names.empty()) {
            auto kept = std::make_shared<PickItems>(games);
            KeepFullGames(form, query, kept);
            KeepFullGames(form, monitor, kept);
            FillLists({form.Control(query.visibleNames), form.Control(query.allNames), form.Control(query.visibleIds),
                       form.Control(query.allIds), form.Control(monitor.visibleNames), form.Control(monitor.allNames),
                       form.Control(monitor.visibleIds), form.Control(monitor.allIds)},
                      {&games.names, &games.names, &games.ids, &games.ids, &games.names, &games.names, &games.ids,
                       &games.ids});
        }
        ShowStatus(form, "游戏名 列表载入完成！");
    });
}

void RunLoadAreasAndGoodsTypes(const Form& form, unsigned generation)
{
    auto current = [generation] { return generation == g_areasGeneration.load(); };
    const RunEnd end(StatusWhenLoadFails(form.Control(kStatusLabel), current,
                                         [form] { ShowStatus(form, "分区类型 列表载入完成！"); }));
    ShowStatus(form, "分区类型 列表载入中...");
    GamePickPage games = QueryPageGames();
    Control gameNames = form.Control(games.visibleNames);
    auto gameId = [&] {
        Text id;
        if (!RunOnWindowThread(gameNames, [&] { id = MirrorSelection(form, games.visibleNames, games.visibleIds); }))
            return std::optional<Text>();
        return std::optional<Text>(id);
    };

    std::optional<Text> id = gameId();
    if (!id || !current())
        return;
    Text reply = FetchUrlText(AreasUrl(*id));
    PumpPendingMessages();
    PickItems areas = ParseAreasReply(reply);
    bool written = false;
    unsigned serversAtAreas = 0;  // the latest server load asked for when these areas were written
    RunOnWindowThread(gameNames, [&] {
        if (!current())
            return;
        FillLists({form.Control(kAreaNames), form.Control(kAreaIds)}, {&areas.names, &areas.ids});
        ++g_areasWritten;
        serversAtAreas = g_serversGeneration.load();
        written = true;
    });
    if (!written)
        return;  // the window is gone, or a later pick loads these lists
    PumpPendingMessages();
    WaitMilliseconds(1000);

    id = gameId();
    if (!id || !current())
        return;
    reply = FetchUrlText(GoodsTypesUrl(*id));
    PickItems types = ParseGoodsTypesReply(reply);
    RunOnWindowThread(gameNames, [&] {
        if (!current())
            return;
        FillLists({form.Control(kGoodsTypeNames), form.Control(kGoodsTypeIds)}, {&types.names, &types.ids});
        // The servers belonged to an area of the previous game, unless an area of this one has been
        // picked since its areas were written: then that load owns the server lists.
        if (serversAtAreas == g_serversGeneration.load())
            FillLists({form.Control(kServerNames), form.Control(kServerIds)}, {});
        ShowStatus(form, "分区类型 列表载入完成！");
    });
}

void RunLoadServers(const Form& form, unsigned generation, unsigned areasWritten)
{
    auto current = [generation, areasWritten] {
        return generation == g_serversGeneration.load() && areasWritten == g_areasWritten.load();
    };
    const RunEnd end(StatusWhenLoadFails(form.Control(kStatusLabel), current,
                                         [form] { ShowStatus(form, "服务器列表载入完成！", true); }));
    GamePickPage games = QueryPageGames();
    Control areaNames = form.Control(kAreaNames);
    Text areaId;
    bool started = RunOnWindowThread(areaNames, [&] {
        MirrorSelection(form, kAreaNames, kAreaIds);
        ShowStatus(form, "载入服务器列表中.....", true);
        MirrorSelection(form, games.visibleNames, games.visibleIds);
        Control areaIds = form.Control(kAreaIds);
        int selection = areaIds.Selection();
        areaId = selection < 0 ? Text() : areaIds.Item(selection);
    });
    if (!started || !current())
        return;
    Text reply = FetchUrlText(ServersUrl(areaId));
    PumpPendingMessages();
    PickItems servers = ParseServersReply(reply);
    RunOnWindowThread(areaNames, [&] {
        if (!current())
            return;
        FillLists({form.Control(kServerNames), form.Control(kServerIds)}, {&servers.names, &servers.ids});
        ShowStatus(form, "服务器列表载入完成！", true);
    });
}

void LetterFilterChanged(const Form& form, const GamePickPage& page)
{
    Text choice = form.Control(page.letterFilter).GetText();
    if (choice == kAllGamesItem) {
        LoadAllGames(form);
        return;
    }
    if (choice.size() != 1 || choice[0] < 'A' || choice[0] > 'Z')
        return;
    ShowGames(form, page, FilterGamesByLetter(FullGames(form, page), choice[0]));
}

void KeywordSearchClicked(const Form& form, const GamePickPage& page)
{
    Text keyword = form.Control(page.keywordBox).GetText();
    ShowGames(form, page, FilterGamesByKeyword(FullGames(form, page), keyword));
}

GamePickPage PageWithSuffix(const char* suffix)
{
    GamePickPage p;
    p.visibleNames = Text("游戏列表_游戏名_显") + suffix;
    p.visibleIds = Text("游戏列表_游戏名_编号") + suffix;
    p.allNames = Text("游戏列表_游戏名_隐") + suffix;
    p.allIds = Text("游戏列表_游戏名_编号_隐") + suffix;
    p.letterFilter = Text("字母分类") + suffix;
    p.keywordBox = Text("编辑框_关键字") + suffix;
    p.keywordButton = Text("按钮_关键字") + suffix;
    return p;
}

}  // namespace

void FillLists(const std::vector<Control>& lists, std::vector<const TextArray*> items)
{
    static const TextArray none;
    items.resize(lists.size(), &none);
    std::vector<HWND> handles;
    std::vector<std::unique_ptr<RedrawHold>> holds;
    for (const Control& list : lists) {
        HWND h = list.Kind() == ControlKind::ListBox ? list.Handle() : nullptr;
        handles.push_back(h);
        if (h) {
            holds.push_back(std::make_unique<RedrawHold>(h));
            SendMessageA(h, LB_RESETCONTENT, 0, 0);
        } else {
            list.ClearItems();
        }
    }
    std::size_t count = items.empty() ? 0 : items[0]->size();
    for (std::size_t k = 0; k < lists.size(); ++k) {
        if (!handles[k])
            continue;
        std::size_t bytes = 0;
        for (const Text& t : *items[k])
            bytes += t.size() + 1;
        SendMessageA(handles[k], LB_INITSTORAGE, count, bytes);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t k = 0;
        for (; k < lists.size(); ++k) {
            const char* text = i < items[k]->size() ? (*items[k])[i].c_str() : "";
            bool ok = handles[k] ? SendMessageA(handles[k], LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)) >= 0
                                 : lists[k].AddItem(text) >= 0;
            if (!ok)
                break;
        }
        if (k < lists.size()) {
            for (std::size_t j = 0; j < k; ++j)
                lists[j].RemoveItem(static_cast<int>(i));
            break;
        }
    }
}

Text MirrorSelection(const Form& form, const Text& visible, const Text& hidden)
{
    Control twin = form.Control(hidden);
    int selection = form.Control(visible).Selection();
    twin.SetSelection(selection);
    return selection < 0 ? Text() : twin.Item(selection);
}

GamePickPage QueryPageGames() { return PageWithSuffix(""); }
GamePickPage MonitorPageGames() { return PageWithSuffix("1"); }

TextArray LetterFilterItems()
{
    TextArray items{kAllGamesItem};
    for (char c = 'A'; c <= 'Z'; ++c)
        items.push_back(Text(1, c));
    return items;
}

// --- Endpoints -------------------------------------------------------------------------------------------

Text AllGamesUrl()
{
    return "http://" + AjaxHost() + "/ajax.axd?methodName=GETALLGAMESDATAv31&cache=20&IsGameID=false&jsoncallback=callgame";
}

Text AreasUrl(std::string_view gameId)
{
    return "http://" + AjaxHost() + "/ajax.axd?methodName=gamesV31&cache=20&gameType=GameAreas&tradingType=other&id=" +
           Text(gameId) + "&jsoncallback=callarea";
}

Text ServersUrl(std::string_view areaId)
{
    return "http://" + AjaxHost() +
           "/ajax.axd?methodName=gamesV31&cache=20&gameType=GameServers&tradingType=other&id=" + Text(areaId) +
           "&jsoncallback=callserver";
}

Text GoodsTypesUrl(std::string_view gameId)
{
    return "http://" + TradingHost() + "/auction/GameGetBizOfferTypeHandler.ashx?jsoncallback=calltype&gm=" +
           Text(gameId) + "&jsoncallback=calltype";
}

// --- Replies ---------------------------------------------------------------------------------------------

PickItems ParseAllGamesReply(std::string_view reply)
{
    // Every game begins with "id:'": the engine runs over the reply only up to the game after the
    // kMaxListRows-th, so that a reply of millions of games is neither matched nor kept whole.
    std::size_t end = 0;
    for (int games = 0; games <= kMaxListRows && end != std::string_view::npos; ++games)
        end = reply.find("id:'", games == 0 ? 0 : end + 1);
    PickItems out;
    RegexObject regex;
    if (regex.Create("id:'(.*?)',name:'(.*?)'", reply.substr(0, end))) {
        int count = std::min(regex.GetMatchCount(), kMaxListRows);
        out.names.reserve(static_cast<std::size_t>(count));
        out.ids.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            PumpMessagesIfInputPending();
            out.ids.push_back(regex.GetSubMatch(i, 1));
            out.names.push_back(regex.GetSubMatch(i, 2));
        }
    }
    regex.Destroy();
    return out;
}

PickItems ParseAreasReply(std::string_view reply) { return ParseQuotedRecords(reply, "callarea(["); }
PickItems ParseServersReply(std::string_view reply) { return ParseQuotedRecords(reply, "callserver(["); }

PickItems ParseGoodsTypesReply(std::string_view reply)
{
    PickItems out;
    Text block = GetTextBetween(reply, "calltype,calltype([", "])");
    for (const Text& piece : SplitPageRecords(block, "}", true)) {
        out.names.push_back(GetTextBetween(piece, "name\":\"", "\""));
        out.ids.push_back(GetTextBetween(piece, "id\":\"", "\""));
    }
    return out;
}

// --- Filters ---------------------------------------------------------------------------------------------

bool GameNameHasInitial(std::string_view name, char letter)
{
    char wanted = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
    Text initials = GetPinyinInitials(LeftText(name, 2));
    // Only single-byte characters are letters: the second byte of a double-byte character that has no
    // pinyin (and so stays as it is) may look like one, but is not.
    for (std::size_t i = 0; i < initials.size();) {
        std::size_t length = CharLengthAt(initials, i);
        char c = initials[i];
        if (length == 1 && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (length == 1 && c == wanted)
            return true;
        i += length;
    }
    return false;
}

PickItems FilterGamesByLetter(const PickItems& all, char letter)
{
    PickItems out;
    for (std::size_t k = 0; k < all.names.size(); ++k) {
        if (GameNameHasInitial(all.names[k], letter)) {
            out.names.push_back(all.names[k]);
            out.ids.push_back(k < all.ids.size() ? all.ids[k] : Text());
        }
    }
    return out;
}

PickItems FilterGamesByKeyword(const PickItems& all, std::string_view keyword)
{
    PickItems out;
    for (std::size_t k = 0; k < all.names.size(); ++k) {
        const Text& name = all.names[k];
        bool found = keyword.empty() ? !name.empty() : FindText(name, keyword) > 0;
        if (found) {
            out.names.push_back(name);
            out.ids.push_back(k < all.ids.size() ? all.ids[k] : Text());
        }
    }
    return out;
}

// --- Operations ------------------------------------------------------------------------------------------

std::function<void(bool failed)> StatusWhenLoadFails(Control anchor, std::function<bool()> current,
                                                     std::function<void()> showDone)
{
    return [anchor = std::move(anchor), current = std::move(current), showDone = std::move(showDone)](bool failed) {
        if (!failed) return;
        RunOnWindowThread(anchor, [&] {
            if (current()) showDone();
        });
    };
}

void LoadAllGames(const Form& form)
{
    RunLoadAllGames(form, ++g_gamesGeneration);
}

void LoadAllGames()
{
    LoadAllGames(MainWindow);
}

bool StartLoadAllGames(const Form& form)
{
    unsigned generation = ++g_gamesGeneration;
    return StartWorker([form, generation] { RunLoadAllGames(form, generation); });
}

bool StartLoadAreasAndGoodsTypes(const Form& form)
{
    unsigned generation = ++g_areasGeneration;
    ++g_serversGeneration;  // the servers of the previous game's areas are not wanted any more
    return StartWorker([form, generation] { RunLoadAreasAndGoodsTypes(form, generation); });
}

bool StartLoadServers(const Form& form)
{
    unsigned generation = ++g_serversGeneration;
    unsigned areasWritten = g_areasWritten.load();
    return StartWorker([form, generation, areasWritten] { RunLoadServers(form, generation, areasWritten); });
}

void OnLetterFilterChanged(const EventArgs& e) { LetterFilterChanged(*e.form, QueryPageGames()); }
void OnMonitorLetterFilterChanged(const EventArgs& e) { LetterFilterChanged(*e.form, MonitorPageGames()); }
void OnKeywordSearchClicked(const EventArgs& e) { KeywordSearchClicked(*e.form, QueryPageGames()); }
void OnMonitorKeywordSearchClicked(const EventArgs& e) { KeywordSearchClicked(*e.form, MonitorPageGames()); }

void OnKeywordEditFocused(const EventArgs& e)
{
    e.form->Control(QueryPageGames().keywordButton).SetDefault(true);
    e.form->Control(MonitorPageGames().keywordButton).SetDefault(false);
}

void OnMonitorKeywordEditFocused(const EventArgs& e)
{
    e.form->Control(MonitorPageGames().keywordButton).SetDefault(true);
    e.form->Control(QueryPageGames().keywordButton).SetDefault(false);
}

void OnGameSelected(const EventArgs& e)
{
    DealQueryBusy = 0;
    StartLoadAreasAndGoodsTypes(*e.form);
}

void OnAreaSelected(const EventArgs& e)
{
    DealQueryBusy = 0;
    StartLoadServers(*e.form);
}

void OnServerSelected(const EventArgs& e)
{
    MirrorSelection(*e.form, kServerNames, kServerIds);
    DealQueryBusy = 0;
}

void OnGoodsTypeSelected(const EventArgs& e)
{
    DealQueryBusy = 0;
    MirrorSelection(*e.form, kGoodsTypeNames, kGoodsTypeIds);
}
