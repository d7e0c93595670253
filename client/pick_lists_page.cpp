// The pick-list controls of pages 0 and 2 of the main window and the events they raise.
#include "client/main_window.h"
#include "client/pick_lists.h"

namespace {

constexpr const char* kTab = kMainTab;
constexpr int kQueryPage = kPageDealQuery;
constexpr int kMonitorPage = kPageMonitor;

// The letter filter, the keyword search and the four game lists of one page, in the page's left
// column; the hidden lists lie under the visible one.
void AddGameLists(WindowLayout& layout, const GamePickPage& page, int tabPage)
{
    layout.Add(ui::ComboBox(page.letterFilter, {6, 6, 110, 22}, LetterFilterItems()).In(kTab, tabPage).Select(0));
    layout.Add(ui::EditBox(page.keywordBox, "", {120, 6, 86, 22}).In(kTab, tabPage));
    layout.Add(ui::Button(page.keywordButton, "搜", {210, 6, 36, 22}).In(kTab, tabPage));
    const Bounds games{6, 32, 240, 236};
    layout.Add(ui::ListBox(page.visibleNames, games).In(kTab, tabPage));
    layout.Add(ui::ListBox(page.visibleIds, games).In(kTab, tabPage).Hide());
    layout.Add(ui::ListBox(page.allNames, games).In(kTab, tabPage).Hide());
    layout.Add(ui::ListBox(page.allIds, games).In(kTab, tabPage).Hide());
}

// A visible pick list of page 0 with its hidden twin at the same place.
void AddPair(WindowLayout& layout, const char* visible, const char* hidden, Bounds b)
{
    layout.Add(ui::ListBox(visible, b).In(kTab, kQueryPage));
    layout.Add(ui::ListBox(hidden, b).In(kTab, kQueryPage).Hide());
}

}  // namespace

void AddPickListControls(WindowLayout& layout)
{
    AddGameLists(layout, QueryPageGames(), kQueryPage);
    AddPair(layout, "商品类型_类型_显", "商品类型_类型_隐", {6, 272, 240, 76});
    AddPair(layout, "游戏分区_大区_显", "游戏分区_大区_隐", {6, 352, 118, 180});
    AddPair(layout, "游戏伺服_服务器_显", "游戏伺服_服务器_隐", {128, 352, 118, 180});
    // The last status text; never shown.
    layout.Add(ui::TransparentLabel("状态", "", {6, 536, 240, 16}).In(kTab, kQueryPage).Hide());

    AddGameLists(layout, MonitorPageGames(), kMonitorPage);
}

void BindPickListEvents(EventTable& events)
{
    GamePickPage query = QueryPageGames(), monitor = MonitorPageGames();
    events.push_back({query.letterFilter, Event::SelectionChanged, OnLetterFilterChanged});
    events.push_back({query.visibleNames, Event::SelectionChanged, OnGameSelected});
    events.push_back({"游戏分区_大区_显", Event::SelectionChanged, OnAreaSelected});
    events.push_back({"游戏伺服_服务器_显", Event::SelectionChanged, OnServerSelected});
    events.push_back({"商品类型_类型_显", Event::SelectionChanged, OnGoodsTypeSelected});
    events.push_back({query.keywordButton, Event::Click, OnKeywordSearchClicked});
    events.push_back({query.keywordBox, Event::FocusGained, OnKeywordEditFocused});
    events.push_back({monitor.letterFilter, Event::SelectionChanged, OnMonitorLetterFilterChanged});
    events.push_back({monitor.keywordButton, Event::Click, OnMonitorKeywordSearchClicked});
    events.push_back({monitor.keywordBox, Event::FocusGained, OnMonitorKeywordEditFocused});
}
