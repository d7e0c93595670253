#pragma once
// The game, goods-type, area and server pick lists of the main window.
//
// Page 0 ("5173成交量查询") has four pick lists, each a visible list of names with a hidden twin that
// holds, at the same index, the platform's id; its game list also keeps the full list of every game
// (names and ids) from which the letter filter and the keyword search rebuild the visible pair. Page 2
// ("5173价格监控") has the same four game lists, letter filter and keyword search; its other lists
// belong to the listing pages.
//
// Lists are only ever written whole: a load cuts the whole reply into local lists first and then
// writes every list it owns, twins together, in one step on the window thread (RunOnWindowThread), so
// no other writer can land between a visible list and its twin. Each kind of load carries a generation
// number taken when it was asked for; its step writes only while no newer load of the same lists has
// been asked for since, so a slow reply for an earlier pick never overwrites the lists of a later one.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <string_view>
#include <vector>

// --- Controls -----------------------------------------------------------------------------------------

// The names of one page's game lists, letter filter and keyword search: page 0 has the plain names,
// page 2 the same names followed by "1".
struct GamePickPage {
    Text visibleNames;  // 游戏列表_游戏名_显
    Text visibleIds;    // 游戏列表_游戏名_编号
    Text allNames;      // 游戏列表_游戏名_隐
    Text allIds;        // 游戏列表_游戏名_编号_隐
    Text letterFilter;  // 字母分类
    Text keywordBox;    // 编辑框_关键字
    Text keywordButton; // 按钮_关键字
};
GamePickPage QueryPageGames();    // page 0
GamePickPage MonitorPageGames();  // page 2

// The 27 items of a letter filter: "全部游戏ALL", then "A" to "Z".
inline constexpr char kAllGamesItem[] = "全部游戏ALL";
TextArray LetterFilterItems();

// The pick-list controls of pages 0 and 2 of the main window: the tab 选择夹1 must be in the layout
// (its page 0 and page 2 receive them), as must the status bar 状态条1.
void AddPickListControls(WindowLayout& layout);
// The pick lists' handlers of the main window's events.
void BindPickListEvents(EventTable& events);

// --- The platform's endpoints -------------------------------------------------------------------------

Text AllGamesUrl();
Text AreasUrl(std::string_view gameId);
Text ServersUrl(std::string_view areaId);
Text GoodsTypesUrl(std::string_view gameId);

// --- Replies ------------------------------------------------------------------------------------------

// Names and ids of one list, item k of `ids` belonging to item k of `names`.
struct PickItems {
    TextArray names;
    TextArray ids;
    bool operator==(const PickItems&) const = default;
};

// The games of the all-games reply, in reply order: every match of "id:'(.*?)',name:'(.*?)'".
PickItems ParseAllGamesReply(std::string_view reply);
// Areas and servers: the records between "callarea([" (or "callserver([") and "])", split at "}".
PickItems ParseAreasReply(std::string_view reply);
PickItems ParseServersReply(std::string_view reply);
// Goods types: the records between "calltype,calltype([" and "])", with double-quoted name and id.
PickItems ParseGoodsTypesReply(std::string_view reply);

// --- Filters ------------------------------------------------------------------------------------------

// True when `letter` (A to Z, any case) is among the pinyin initials of the first two bytes of the
// name: the initial of a leading Chinese character, or either of two leading single-byte characters.
bool GameNameHasInitial(std::string_view name, char letter);
// The games of `all`, in order, whose names have that initial.
PickItems FilterGamesByLetter(const PickItems& all, char letter);
// The games of `all`, in order, whose names hold the keyword (case-sensitive, never matching from the
// second byte of a double-byte character); an empty keyword gives every game with a non-empty name.
PickItems FilterGamesByKeyword(const PickItems& all, std::string_view keyword);

// --- Writing pick lists ---------------------------------------------------------------------------------

// Window thread: replaces the items of every list by its own array (no array: the list is emptied),
// all arrays being as long as the first, with the repainting of every list held back until all are
// written. Should the control refuse an item (out of memory), the lists stop at the last item that all
// of them took, so twins never go out of step.
void FillLists(const std::vector<Control>& lists, std::vector<const TextArray*> items);

// Window thread: mirrors the selection of a visible list into its hidden twin and gives the twin's item
// there (the empty text when nothing is selected).
Text MirrorSelection(const Form& form, const Text& visible, const Text& hidden);

// The end of a list load that runs out of memory (a RunEnd's function): on the window thread of
// `anchor`, while `current()` says the load is still the newest, `showDone()` writes the status of a
// finished load. The lists stay as the load left them.
std::function<void(bool failed)> StatusWhenLoadFails(Control anchor, std::function<bool()> current,
                                                     std::function<void()> showDone);

// --- Operations on the main window --------------------------------------------------------------------

// Fetches all games and fills the eight game lists of pages 0 and 2, on the calling thread (a worker,
// or the window thread for "全部游戏ALL").
void LoadAllGames(const Form& form);
// The start-up load of MainWindow's game lists (the worker the created handler starts).
void LoadAllGames();
// LoadAllGames on a new worker thread; false when no thread could start.
bool StartLoadAllGames(const Form& form);
// The area and goods-type load of the game picked on page 0, on a new worker thread.
bool StartLoadAreasAndGoodsTypes(const Form& form);
// The server load of the area picked on page 0, on a new worker thread.
bool StartLoadServers(const Form& form);

// Event handlers (window thread).
void OnLetterFilterChanged(const EventArgs& e);
void OnMonitorLetterFilterChanged(const EventArgs& e);
void OnKeywordSearchClicked(const EventArgs& e);
void OnMonitorKeywordSearchClicked(const EventArgs& e);
void OnKeywordEditFocused(const EventArgs& e);
void OnMonitorKeywordEditFocused(const EventArgs& e);
void OnGameSelected(const EventArgs& e);
void OnAreaSelected(const EventArgs& e);
void OnServerSelected(const EventArgs& e);
void OnGoodsTypeSelected(const EventArgs& e);
