#pragma once
// Program-wide state of Quovanta: plain values created at start-up and shared by the window thread and
// the workers of every feature.
//
// The flags are atomics and the texts are kept behind a small lock of their own, so that a worker and
// the window thread can read and write them at the same time without tearing; nothing more is
// coordinated (a flag is still just a flag: a selection made while a query runs clears DealQueryBusy).
#include "client/program_version.h"
#include "runtime/text.h"

#include <atomic>
#include <mutex>
#include <string_view>

// The program's own version: the window title, "config.ini" and the version check use it.
inline constexpr char kProgramVersion[] = QUOVANTA_PROGRAM_VERSION;

// A program-wide text that any thread may read and write.
class SharedText {
public:
    Text Get() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return value_;
    }
    void Set(std::string_view value)
    {
        std::lock_guard<std::mutex> lock(lock_);
        value_.assign(value);
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(lock_);
        Text().swap(value_);
    }

private:
    mutable std::mutex lock_;
    Text value_;
};

// 1 while a latest-deal query of page 0 runs; its button refuses a second query meanwhile. Every pick
// in the page-0 game, area, server and goods-type lists sets it back to 0; so does start-up.
extern std::atomic<int> DealQueryBusy;
// (DealResultsSaved, the flag of a complete latest-deal query, is in client/deal_query.h.)
// The day picked in 日期框1 as month (no leading zero), "-" and the day in two digits: 7 January is
// "1-07". Rebuilt at every date change; read by the date query. Window thread only.
extern Text DateKey;
// The address of the rank-change chart picture of the ranking page read last; empty until then.
extern SharedText ChartPictureAddress;
// The page of the 17173 new-game list shown last.
extern std::atomic<int> NewGamePageNumber;
// The base address of the market-quote pages and the page path chosen last.
extern SharedText MarketBaseAddress;
extern SharedText MarketPagePath;

// Target of text splits of the window thread. Workers split into texts of their own: several of them
// run at once (the all-games load and an area load started by a quick pick), and each keeps its reply,
// pieces and counters in its own locals.
extern TextArray SharedSplitTexts;

// Start-up step: creates SharedSplitTexts, empty.
void InitGlobalTextArrays();
// The exit routine (registered at start-up, runs once when the program ends): frees every global text
// and SharedSplitTexts with all its elements.
void FreeGlobalTexts();
