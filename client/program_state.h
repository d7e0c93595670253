#pragma once
// Program-wide state shared by the window thread and the workers of the main window.
#include "runtime/text.h"

#include <atomic>

// 1 while a latest-deal query of page 0 runs; the query sets and clears it, and every selection in the
// page-0 game, area, server and goods-type lists clears it.
extern std::atomic<int> DealQueryBusy;

// The day picked in 日期框1 as month (no leading zero), "-" and the day in two digits: 7 January is
// "1-07". Rebuilt at every date change; read by the date query. Window thread only.
extern Text DateKey;
