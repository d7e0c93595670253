#pragma once
// What the parts of NewGameWindow share: the window's own state and the buttons that follow from it.
// Internal to client/new_game_*.cpp.
#include "client/new_game_window.h"
#include "runtime/workers.h"

#include <functional>
#include <memory>

// The state of one NewGameWindow. Read and written on its window thread only: by the handlers and by
// the workers' steps on that thread.
struct NewGameState {
    bool platformLoading = true;  // the platform's game list is being loaded
    bool pageLoading = false;     // a page of the test list is being loaded or matched
    bool volumeAllowed = false;   // a page has been loaded and matched: the run may start
    bool runActive = false;       // the volume run is going (also while paused)
    // The run last started. A new start makes a new one: a stopped run may still be winding down
    // (finishing a request) when the next one begins, and it writes nothing more.
    std::unique_ptr<RunControl> run;
};

// The state of the window (nullptr for a closed one). Window thread.
std::shared_ptr<NewGameState> NewGameStateOf(const Form& form);

// Sets every button of the window as its state allows: the page buttons and 获取51数据 only while no
// load, matching or run is active (获取17173列表 also not while the platform list loads, 向上 only
// above page 1, 获取51数据 only once a page has been matched), 暂停继续 and 停止 only during a run.
// Pages below 1 are set to 1 first. Window thread.
void ApplyNewGameButtons(const Form& form, const NewGameState& state);

// Whether the buttons allow a page load, and a run. Window thread.
bool NewGamePageLoadAllowed(const NewGameState& state);
bool NewGameRunAllowed(const NewGameState& state);

// The row of 新游测试行情 whose 序号 is `number`, -1 when none. Window thread.
int NewGameRowOf(const Control& list, std::string_view number);

// The volume run of the window (new_game_run.cpp): the worker of one run.
void SumNewGamesVolume(const Form& form, const std::shared_ptr<NewGameState>& state, const RunToken& token);

// Status texts of the window.
inline constexpr char kNewGameListLoading[] = "正在载入游戏列表...";
inline constexpr char kNewGameListLoaded[] = "游戏列表载入完毕！";
