// The page load of NewGameWindow: a page of the 17173 test list of 1,000 rows (the most a page gives)
// matched against 3,000 platform games, from the click to the end of the matching, against what its
// parts cost alone in the same run:
//   limit   the rows' cells written with plain list-view messages on the window thread, redraw held,
//           and the id column written the same way: the control's own cost;
//   parse   the UTF-8 page converted and cut into rows by the row pattern (the engine's cost);
//   match   every row's name searched in the platform's names (the search's cost);
//   window  the click to the end of the matching on a loopback server, less the fetch alone.
// Prints the times and the list part of the load (window - parse - match) as a multiple of the limit.
// Run: scripts/wine-run.sh build build/bench/bench_new_game.exe
#include "bench_support.h"
#include "client/new_game_window.h"
#include "helpers/http_client.h"
#include "helpers/text_helpers.h"
#include "replica/new_game_pages.h"
#include "runtime/forms.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kRows = kMaxNewGameRowsPerPage;
constexpr int kGames = 3000;

using bench::Now;

std::string PlatformName(int i) { return bench::PlatformGameName(i); }

}  // namespace

int main()
{
    // The platform's games and a page whose names match every third one, the rest nothing.
    std::string allGames = "callgame([{name:'A',list:[";
    for (int i = 0; i < kGames; ++i)
        allGames += std::string(i ? "," : "") + "{id:'id" + std::to_string(i) + "',name:'" + PlatformName(i) + "'}";
    allGames += "]},{name:'WEBG',list:[]}])";
    std::vector<replica::NewGameEntry> entries;
    for (int r = 0; r < kRows; ++r) {
        replica::NewGameEntry e;
        e.testDate = "2015-01-15";
        e.reviewLink = "/game-info-" + std::to_string(r) + ".html";
        e.name = r % 3 == 0 ? "平台游戏" + std::to_string(kGames - 1 - r) : "新游戏" + std::to_string(r);
        e.phase = "公测";
        e.code = "不需要";
        e.developerLink = "http://dev.example/" + std::to_string(r);
        e.developer = "开发商" + std::to_string(r);
        e.operatorLink = "http://op.example/" + std::to_string(r);
        e.operatorName = "运营商" + std::to_string(r);
        entries.push_back(e);
    }
    const std::string page = replica::NewGameListPageHtml(entries);

    LoopbackHttpServer server([&](const LoopbackRequest& r) {
        return r.Path() == "/ajax.axd" ? LoopbackReply::Ok(allGames) : LoopbackReply::Ok(page);
    });
    if (!server.Start()) return 1;
    SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
    SetEnvironmentVariableA("QUOVANTA_NEWGAME_HOST", server.HostAndPort().c_str());

    // Parts alone, each the best of five rounds (the first regular expression of a thread also starts
    // its engine).
    double fetch = 1e9, parse = 1e9, match = 1e9;
    std::vector<TextArray> rows;
    TextArray found;
    int matched = 0;
    const std::vector<TextArray> platform = NewGamePlatformRows(allGames);
    TextArray names, ids;
    for (const TextArray& g : platform) {
        names.push_back(g[1]);
        ids.push_back(g[2]);
    }
    for (int round = 0; round < 5; ++round) {
        double t0 = Now();
        const Text fetched = FetchUrlText(NewGameListAddress(1));
        fetch = std::min(fetch, Now() - t0);
        t0 = Now();
        rows = ParseNewGamePage(Utf8ToGbk(fetched));
        parse = std::min(parse, Now() - t0);
        t0 = Now();
        found.clear();
        matched = 0;
        for (const TextArray& row : rows) {
            found.push_back(MatchPlatformGameId(row[kNewGameName], names, ids));
            matched += found.back().empty() ? 0 : 1;
        }
        match = std::min(match, Now() - t0);
    }

    Form form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
    PumpUntil([&] { return !NewGameWindowActivity(form).platformLoading; }, 60000);
    Control list = form.Control("新游测试行情");
    HWND h = list.Handle();

    // The limit: the same cells with plain messages, redraw held.
    double t0 = Now();
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        Text text = rows[static_cast<std::size_t>(r)][0];
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = text.data();
        const int at = static_cast<int>(SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int c = 1; c <= kNewGameOperator; ++c) {
            Text cell = rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            LVITEMA sub = {};
            sub.iSubItem = c;
            sub.pszText = cell.data();
            SendMessageA(h, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
        }
        LVITEMA id = {};
        id.iSubItem = kNewGamePlatformId;
        id.pszText = found[static_cast<std::size_t>(r)].data();
        SendMessageA(h, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&id));
    }
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
    const double limit = Now() - t0;
    SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
    ProcessPendingMessages();

    // The window's own load, the best of five.
    double window = 1e9;
    for (int round = 0; round < 5; ++round) {
        t0 = Now();
        form.Raise("超级按钮_获取17173列表", Event::Click);
        PumpUntil([&] { return !NewGameWindowActivity(form).pageLoading; }, 600000);
        window = std::min(window, Now() - t0 - fetch);
    }
    int withId = 0;
    for (const Text& id : list.ColumnCells(kNewGamePlatformId)) withId += id.empty() ? 0 : 1;

    const double listPart = window - parse - match;
    std::printf("page of %d rows (%d matched of %d games; the window: %d rows, %d with an id)\n", kRows, matched,
                kGames, list.RowCount(), withId);
    std::printf("  fetch %.1f ms, parse %.1f ms, match %.1f ms\n", fetch * 1000, parse * 1000, match * 1000);
    std::printf("  limit (plain messages, redraw held) %.1f ms\n", limit * 1000);
    std::printf("  window load less the fetch %.1f ms; its list part %.1f ms = %.2f x the limit\n", window * 1000,
                listPart * 1000, listPart / limit);
    form.Destroy();
    ProcessPendingMessages();
    return 0;
}
