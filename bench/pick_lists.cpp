// LoadAllGames of 5,000 games into the eight game lists of pages 0 and 2, served by the loopback
// server from the replica's all-games page: the whole load, and its parts (fetch, cutting the reply
// by the regular expression, filling the lists) on their own. Also the letter filter over the full
// list. Run: scripts/wine-run.sh build build/bench/bench_pick_lists.exe
#include "client/pick_lists.h"
#include "helpers/http_client.h"
#include "picklists/pick_list_window.h"
#include "replica/pick_list_pages.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kGames = 5000;
constexpr int kRuns = 5;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

}  // namespace

int main()
{
    auto catalogue = GeneratedCatalogue(kGames);
    std::string page = AllGamesPage(*catalogue);
    LoopbackHttpServer server;
    server.SetReply("/ajax.axd", LoopbackReply::Ok(page, "application/x-javascript; charset=gb2312"));
    if (!server.Start()) {
        std::printf("cannot start the loopback server\n");
        return 1;
    }
    SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
    Form form = LoadForm(PickListTestLayout(), PickListTestEvents(false));
    PumpFor(200);
    std::printf("all-games reply: %d games, %zu bytes\n", kGames, page.size());

    double best = 1e9, total = 0;
    for (int i = 0; i < kRuns; ++i) {
        double t0 = Now();
        LoadAllGames(form);  // on the window thread, as "全部游戏ALL" runs it
        double ms = Now() - t0;
        best = std::min(best, ms);
        total += ms;
    }
    int filled = form.Control("游戏列表_游戏名_编号_隐1").ItemCount();
    std::printf("LoadAllGames, window thread: best %.1f ms, mean %.1f ms (%d games in each list)\n", best,
                total / kRuns, filled);

    // The limit: the same 40,000 items as plain list-box messages on the window thread, the redraw of
    // every list held, beside the fetch and the cutting of the reply alone.
    PickItems parsed = ParseAllGamesReply(FetchUrlText(AllGamesUrl()));
    double limitBest = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        double t0 = Now();
        const char* lists[] = {"游戏列表_游戏名_显", "游戏列表_游戏名_编号", "游戏列表_游戏名_隐", "游戏列表_游戏名_编号_隐",
                               "游戏列表_游戏名_显1", "游戏列表_游戏名_编号1", "游戏列表_游戏名_隐1", "游戏列表_游戏名_编号_隐1"};
        for (int k = 0; k < 8; ++k) {
            HWND h = form.Control(lists[k]).Handle();
            const bool shown = (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
            SendMessageA(h, WM_SETREDRAW, FALSE, 0);
            SendMessageA(h, LB_RESETCONTENT, 0, 0);
            const TextArray& items = k % 2 == 0 ? parsed.names : parsed.ids;
            for (const Text& t : items) SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
            SendMessageA(h, WM_SETREDRAW, TRUE, 0);
            if (!shown) SetWindowLongW(h, GWL_STYLE, GetWindowLongW(h, GWL_STYLE) & ~WS_VISIBLE);
        }
        limitBest = std::min(limitBest, Now() - t0);
    }
    double fetchBest = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        double t0 = Now();
        ParseAllGamesReply(FetchUrlText(AllGamesUrl()));
        fetchBest = std::min(fetchBest, Now() - t0);
    }
    std::printf("  limit: 40,000 items as plain messages, redraw held: %.1f ms; fetch and cut alone: %.1f ms\n",
                limitBest, fetchBest);
    std::printf("  LoadAllGames / (limit + fetch and cut) = %.2f; the list fill alone (best - fetch) / limit = %.2f\n",
                best / (limitBest + fetchBest), (best - fetchBest) / limitBest);

    double w0 = Now();
    form.Control("状态").SetText("");
    StartLoadAllGames(form);
    PumpUntil([&] { return form.Control("状态").GetText() == "游戏名 列表载入完成！"; }, 60000);
    std::printf("LoadAllGames, worker (start-up): %.1f ms\n", Now() - w0);

    double f0 = Now();
    Text reply = FetchUrlText(AllGamesUrl());
    double f1 = Now();
    PickItems games = ParseAllGamesReply(reply);
    double f2 = Now();
    std::printf("  fetch %.1f ms, regex cut %.1f ms (%zu games)\n", f1 - f0, f2 - f1, games.names.size());

    double l0 = Now();
    EventArgs args;
    form.Control("字母分类").SetSelection('T' - 'A' + 1);
    form.Raise("字母分类", Event::SelectionChanged, args);
    std::printf("letter filter T: %.1f ms (%d games)\n", Now() - l0, form.Control("游戏列表_游戏名_显").ItemCount());
    double k0 = Now();
    form.Control("编辑框_关键字").SetText("QQ");
    form.Raise("按钮_关键字", Event::Click);
    std::printf("keyword search QQ: %.1f ms (%d games)\n", Now() - k0, form.Control("游戏列表_游戏名_显").ItemCount());

    form.Destroy();
    PumpFor(50);
    server.Stop();
    return 0;
}
