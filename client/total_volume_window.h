#pragma once
// TotalVolumeWindow: every game of the platform with, on request, the total of its deal amounts over
// all areas, servers and goods types and the platform's own deal count. Opened from page 3 of the main
// window (超级按钮_5173总排行), any number of times, each window on its own.
//
// The game list is loaded by a worker when the window opens. The totals are computed by a run on a
// second worker that the user can pause, resume and stop: the run stops only at its safe points
// (before a request, after a wait), never in the middle of a request, and nothing it would write after
// a pause is written until it goes on; a stopped run, or one whose window has closed, writes nothing
// more. Each write of the run is one step on the window thread that checks the run's state first, so
// no write can land after a stop in rows that a sort has moved since.
//
// Every window keeps its own run state: two open windows never pause, stop or mix each other's runs.
#include "runtime/datetime.h"
#include "runtime/forms.h"
#include "runtime/text.h"

#include <atomic>
#include <string_view>
#include <vector>

inline constexpr char kTotalVolumeTitle[] = "5173游戏总交易量查询";
// The opener on page 3 of the main window.
inline constexpr char kTotalVolumeOpener[] = "超级按钮_5173总排行";

// False at program start; true once a run of any total-volume window has finished or been stopped.
// It outlives the windows: a window opened after that sorts at once (unless its own run is active).
extern std::atomic<bool> TotalRunIdle;

WindowLayout TotalVolumeWindowLayout();
EventTable TotalVolumeWindowEvents();

// Loads a new TotalVolumeWindow on the calling thread: non-modal, without a parent.
Form LoadTotalVolumeWindow();

// --- The deal-list pages of a run -------------------------------------------------------------------

// The first request of a game: page 1 of its latest-deal list over every area, server and goods type.
Text TotalFirstPageAddress(std::string_view gameId);
// Page `page` of the game's list as the run reads it: ordered by the key "-1".
Text TotalPageAddress(std::string_view gameId, int page);
// The games of an all-games reply, cut between "callgame([" and the closing WEBG group first.
struct TotalGame {
    Text id;
    Text name;
};
std::vector<TotalGame> ParseTotalGameList(std::string_view allGamesReply);
// The amount of each record of a page: its 价格 with every "," removed.
TextArray PageAmounts(std::string_view reply);
// The total of the amounts held as text ("%.13g"; empty for no amount).
Text SumAmounts(const TextArray& amounts);
// The progress text of 标签1: "查询进度：g/N     状态：" + state.
Text TotalProgressText(int game, int count, std::string_view state);

// The proposed workbook name: "5173游戏总交易量-BrelmorQuovanta" and the date-time text of `now`.
Text TotalExportFileName(DateTime now);

// --- Handlers ---------------------------------------------------------------------------------------

// Click on 超级按钮_5173总排行 of the main window: opens a new TotalVolumeWindow.
void OnOpenTotalVolumeClicked(const EventArgs& args);
void OnTotalWindowCreated(const EventArgs& args);
// The window is going away: its run (if any) stops and nothing more is written to it.
void OnTotalWindowClosing(const EventArgs& args);
void OnTotalStartClicked(const EventArgs& args);
void OnTotalPauseResumeClicked(const EventArgs& args);
void OnTotalStopClicked(const EventArgs& args);
// The list (without its hidden ID column) into a workbook, as every export command of the program does:
// a failed export hides the panel and warns, an existing file is replaced only by a complete workbook.
void OnTotalExportClicked(const EventArgs& args);
void OnTotalListColumnClick(const EventArgs& args);

// The sort kind (ListViewSortKind) of a column of 超级列表框_5173游戏列表; -1 for the columns that are
// not sorted (游戏名, 状态).
int TotalColumnSortKind(int column);

// The workers of every total-volume window (game-list loads and runs) that have not ended yet.
int TotalVolumeWorkersAlive();

// Binds the opener's click in the main window's event table.
void BindTotalVolumeEvents(EventTable& events);
