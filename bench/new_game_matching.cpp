// The new-game matching against a platform list cut at the list cap: a 64 MiB all-games reply (some
// 1.7 million games) is cut to kMaxListRows games, and a full page of the 17173 test list (1,000 rows,
// every third one a platform game near the end of the list, the rest none) is matched against them.
// Quoted against what the same names cost in the same run:
//   pass    one pass over the capped platform names, each searched once for a row's name: the least
//           a row that matches nothing can cost, so the matching of a page is at most one pass a row;
//   parse   the reply of exactly kMaxListRows games against the 64 MiB one: the cut makes the size of
//           the reply past the cap cost nearly nothing.
// Run: scripts/wine-run.sh build build/bench/bench_new_game_matching.exe
#include "bench_support.h"
#include "client/new_game_window.h"
#include "client/page_bounds.h"
#include "runtime/text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using bench::Now;
using bench::PlatformGameName;

// The all-games reply of `bytes` bytes at least, games 0, 1, ... in order.
std::string AllGamesReply(std::size_t bytes, int mostGames)
{
    std::string reply = "callgame([{name:'A',list:[";
    for (int i = 0; reply.size() < bytes && i < mostGames; ++i)
        reply += std::string(i ? "," : "") + "{id:'id" + std::to_string(i) + "',name:'" + PlatformGameName(i) + "'}";
    reply += "]},{name:'WEBG',list:[]}])";
    return reply;
}

template <class Fn>
double Best(int rounds, Fn&& fn)
{
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = Now();
        fn();
        best = std::min(best, Now() - t0);
    }
    return best;
}

}  // namespace

int main()
{
    const std::string huge = AllGamesReply(64u << 20, 1 << 30);
    const std::string capped = AllGamesReply(huge.size(), kMaxListRows);

    std::vector<TextArray> platform;
    const double parseHuge = Best(3, [&] { platform = NewGamePlatformRows(huge); });
    std::size_t cappedRows = 0;
    const double parseCapped = Best(3, [&] { cappedRows = NewGamePlatformRows(capped).size(); });
    TextArray names, ids;
    for (const TextArray& g : platform) {
        names.push_back(g[1]);
        ids.push_back(g[2]);
    }

    // The test list: a third of its names are platform games near the end of the list.
    const int kRows = kMaxNewGameRowsPerPage;
    TextArray rows;
    for (int r = 0; r < kRows; ++r)
        rows.push_back(r % 3 == 0 ? PlatformGameName(kMaxListRows - 1 - r) : "新游戏" + std::to_string(r));

    int matched = 0;
    const double match = Best(3, [&] {
        matched = 0;
        for (const Text& name : rows)
            matched += MatchPlatformGameId(name, names, ids).empty() ? 0 : 1;
    });
    // One pass: every platform name searched once, for a name found in none of them.
    int hits = 0;
    const double pass = Best(5, [&] {
        hits = 0;
        for (const Text& platformName : names)
            hits += FindText(platformName, rows[1], 1, true) > 0;
    });

    std::printf("64 MiB reply (%zu bytes): %zu platform games kept (cap %d); reply of the cap: %zu games\n",
                huge.size(), platform.size(), kMaxListRows, cappedRows);
    std::printf("  parse of the 64 MiB reply = %.2f x the parse of the capped reply\n", parseHuge / parseCapped);
    std::printf("  matching of %d rows (%d matched) = %.1f passes over the %zu names (%.2f passes a row)\n", kRows,
                matched, match / pass, names.size(), match / pass / kRows);
    return hits == 0 ? 0 : 2;  // the name searched for in the pass is in no platform name
}
