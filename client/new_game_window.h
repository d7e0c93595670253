#pragma once
// NewGameWindow "17173新游戏交易行情": the new-game test list of the portal 17173, one page at a time,
// each new game tied to the platform's game id, and the run that adds the platform's trade volume of
// each game to its row. Opened by 超级按钮_17173交易 on page 3 of the main window.
//
// The window keeps a state of its own (which loads run, whether a run is active) on the window
// thread; every button's enabled state follows from it, so a button comes back only when no load, no
// matching and no run holds it. Workers hand whole pages to the window thread and address the rows of
// 新游测试行情 by their 序号 (unique within a page), found again at every read and write, so a sort
// during a load or a run never puts a value into another game's row. A worker of a window that has
// been closed, and a run that has been stopped, writes nothing more.
#include "client/page_bounds.h"
#include "runtime/datetime.h"
#include "runtime/forms.h"
#include "runtime/text.h"

#include <string_view>
#include <vector>

inline constexpr char kNewGameWindowTitle[] = "17173新游戏交易行情";

// The columns of 新游测试行情.
enum NewGameColumn {
    kNewGameNumber = 0,         // 序号
    kNewGameTestDate = 1,       // 测试时间
    kNewGameReviewLink = 2,     // 17173评测页 (hidden)
    kNewGameName = 3,           // 游戏名称
    kNewGamePhase = 4,          // 测试名称
    kNewGameCode = 5,           // 是否需激活码
    kNewGameDeveloperLink = 6,  // 17173开发商介绍 (hidden)
    kNewGameDeveloper = 7,      // 开发商
    kNewGameOperatorLink = 8,   // 17173运营商介绍 (hidden)
    kNewGameOperator = 9,       // 运营商
    kNewGameVolume = 10,        // 5173成交量
    kNewGamePlatformId = 11,    // 5173游戏ID (hidden)
    kNewGameDealCount = 12,     // 交易笔数
    kNewGameColumnCount = 13,
};

// The most rows one page of the test list gives (the portal lists 100; a page of thousands is no page
// of the portal, and matching and totalling it would take hours).
inline constexpr int kMaxNewGameRowsPerPage = kMaxRecordsPerPage;

// The open NewGameWindow (closed before the first opening and after it is gone). Window thread of the
// main window only.
extern Form NewGameWindow;

WindowLayout NewGameWindowLayout();
EventTable NewGameWindowEvents();

// Click on the main window's 超级按钮_17173交易: opens NewGameWindow (no owner, not modal); while it
// is open, brings it to the front instead.
void OnOpenNewGameWindowClicked(const EventArgs& args);
// Binds that click in the main window's event table.
void BindNewGameOpenerEvents(EventTable& events);

// --- The test list ----------------------------------------------------------------------------------

// The address of page `page` of the test list: page 1 as "page=1", others with their number.
Text NewGameListAddress(int page);

// The row pattern: eight lines joined by CR LF, each after the first indented by a TAB and 16 blanks,
// the last by a TAB and 12 blanks and nothing else.
extern const char kNewGameRowPattern[];

// The rows of one page of the test list (GBK text): 序号 from 1, columns 1 to 9 from the pattern's
// groups, the other columns empty; at most kMaxNewGameRowsPerPage rows. Run on the thread that owns
// the regular-expression engine it creates (any thread).
std::vector<TextArray> ParseNewGamePage(std::string_view pageText);

// The platform's id of a new game: the id of the first platform game whose name contains `name`,
// ASCII letters compared without case; empty when none does. An empty name matches nothing.
Text MatchPlatformGameId(std::string_view name, const TextArray& platformNames, const TextArray& platformIds);

// The platform's games of the all-games reply as the window lists them: only those before the WEBG
// group, cut between "callgame([" and "]},{name:'WEBG',list:[]}])". Rows: 序号 from 1, 游戏名, ID.
std::vector<TextArray> NewGamePlatformRows(std::string_view allGamesReply);

// --- The volume run --------------------------------------------------------------------------------

// The first request of a game's run: the latest consignment deals over all areas, servers and types.
Text NewGameFirstDealAddress(std::string_view gameId);

// --- Commands ---------------------------------------------------------------------------------------

// How a column of 新游测试行情 sorts (ListViewSortKind), -1 for a column that does not sort.
int NewGameColumnSortKind(int column);

// The addresses of the review and gift pages of a row's review link ("http://" and the 17173 list
// host, or the gift host with every "game" of the link made "sche"). The menu commands open these and
// the developer's and operator's links only when they are web addresses (client/web_address.h).
Text NewGameReviewAddress(std::string_view reviewLink);
Text NewGameGiftAddress(std::string_view reviewLink);

// The proposed workbook name: "17173新游戏测试行情-BrelmorQuovanta" and the date-time text of `now`.
Text NewGameExportFileName(DateTime now);

// --- Handlers (window thread) ----------------------------------------------------------------------

void OnNewGameWindowCreated(const EventArgs& args);
void OnNewGameWindowDestroyed(const EventArgs& args);
void OnNewGameListClicked(const EventArgs& args);
void OnNewGamePageUpClicked(const EventArgs& args);
void OnNewGamePageDownClicked(const EventArgs& args);
void OnNewGameVolumeClicked(const EventArgs& args);
void OnNewGamePauseResumeClicked(const EventArgs& args);
void OnNewGameStopClicked(const EventArgs& args);
void OnNewGameListRightClick(const EventArgs& args);
void OnNewGameListColumnClick(const EventArgs& args);
void OnOpenReviewPageMenu(const EventArgs& args);
void OnOpenDeveloperPageMenu(const EventArgs& args);
void OnOpenOperatorPageMenu(const EventArgs& args);
void OnOpenGiftPageMenu(const EventArgs& args);
void OnNewGameExportClicked(const EventArgs& args);

// Whether a load (the platform's game list, a page with its matching) or the volume run of the window
// is active. For tests and tools; window thread.
struct NewGameActivity {
    bool platformLoading = false;
    bool pageLoading = false;
    bool runActive = false;
};
NewGameActivity NewGameWindowActivity(const Form& form);
