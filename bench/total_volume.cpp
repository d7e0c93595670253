// The total-volume window over a generated catalogue of 2,000 games served on the loopback interface,
// with the waits at 0, each beside its limit measured in the same run:
//   load   the window's game-list load (request, cut, pattern, one batch of 2,000 rows) beside the
//          same request and cutting on a worker alone (the making of the window shown apart);
//   run    a whole run over the first 300 games (the requests, the page cutting and the run's window
//          steps: progress, work list, totals) beside the same requests and cutting on a worker alone:
//          what the run adds to its requests is its list writes and its safe points;
//   sort   a click on 总交易量 (2,000 rows x 6 columns) beside reading every cell once on the window
//          thread with plain list-view messages.
// Run: scripts/wine-run.sh build build/bench/bench_total_volume.exe
#include "client/deal_query.h"
#include "client/pick_lists.h"
#include "client/total_volume_window.h"
#include "helpers/http_client.h"
#include "replica/deal_pages.h"
#include "replica/pick_list_pages.h"
#include "runtime/seams.h"
#include "runtime/workers.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr int kGames = 2000;
constexpr int kRunGames = 300;

class NoWait final : public WaitSeam {
public:
    void Wait(int) override {}
};

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

void OnWorker(const std::function<void()>& fn)
{
    HANDLE worker = StartWorkerKept(fn);
    WaitHandlePumping(worker, INFINITE);
    CloseHandle(worker);
}

}  // namespace

int main()
{
    const auto catalogue = GeneratedCatalogue(kGames);
    ReplicaRoutes routes;
    AddPickListRoutes(routes, catalogue);
    AddDealListRoutes(routes, catalogue);
    LoopbackHttpServer server([&](const LoopbackRequest& r) {
        return LoopbackReply::Ok(routes.Serve(ParseReplicaRequest(r.method, r.target)).body);
    });
    if (!server.Start()) return 1;
    SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", server.HostAndPort().c_str());
    NoWait noWait;
    SetWaitSeam(&noWait);

    // Load: the limit first (the request and the cutting alone), then the window.
    std::vector<TotalGame> games;
    double t0 = Now();
    OnWorker([&] { games = ParseTotalGameList(FetchUrlText(AllGamesUrl())); });
    const double loadLimit = Now() - t0;
    t0 = Now();
    Form form = LoadTotalVolumeWindow();
    const double created = Now() - t0;
    Control list = form.Control("超级列表框_5173游戏列表");
    PumpUntil([&] { return form.Control("超级按钮_获取51数据").Enabled(); }, 120000);
    const double load = Now() - t0;
    const bool loaded = list.RowCount() == kGames && static_cast<int>(games.size()) == kGames;

    // Run over the first kRunGames rows: the limit is the same requests and cutting on a worker.
    std::vector<TextArray> rows = list.AllRows();
    rows.resize(kRunGames);
    int requests = 0;
    t0 = Now();
    OnWorker([&] {
        for (const TextArray& row : rows) {
            Text reply = FetchUrlText(TotalFirstPageAddress(row[2]));
            ++requests;
            const int pages = DealPageCount(reply);
            TextArray amounts;
            for (int n = 1; n <= pages; ++n) {
                if (pages != 1) {
                    reply = FetchUrlText(TotalPageAddress(row[2], n));
                    ++requests;
                }
                const TextArray a = PageAmounts(reply);
                amounts.insert(amounts.end(), a.begin(), a.end());
            }
            SumAmounts(amounts);
            DealCountOfPage(reply);
        }
    });
    const double runLimit = Now() - t0;
    list.SetRows(rows);  // the run covers these rows
    t0 = Now();
    form.Raise("超级按钮_获取51数据", Event::Click);
    PumpUntil([&] { return form.Control("标签1").GetText() == "完成"; }, 600000);
    const double run = Now() - t0;
    const bool ran = form.Control("标签1").GetText() == "完成";

    // Sort: a click on 总交易量 over all the games (the run's totals in its first rows).
    std::vector<TextArray> all = list.AllRows();
    for (int g = kRunGames; g < kGames; ++g) {
        TextArray row{std::to_string(g + 1), "游戏" + std::to_string(g), "id" + std::to_string(g),
                      std::to_string((g * 7919) % 100000), std::to_string(g % 97), "完成"};
        all.push_back(row);
    }
    list.SetRows(all);
    HWND h = list.Handle();
    t0 = Now();
    {
        char buffer[256];
        for (int r = 0; r < kGames; ++r)
            for (int c = 0; c < 6; ++c) {
                LVITEMA item = {};
                item.iSubItem = c;
                item.pszText = buffer;
                item.cchTextMax = sizeof buffer;
                SendMessageA(h, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
            }
    }
    const double sortLimit = Now() - t0;
    t0 = Now();
    form.Raise("超级列表框_5173游戏列表", Event::ColumnClick, {.column = 3});
    const double sort = Now() - t0;

    std::printf("load of %d games: window %.3f s (%.3f s of it making the window), request and cutting alone "
                "%.3f s: %.2fx the limit, %.2fx without making the window%s\n",
                kGames, load, created, loadLimit, load / loadLimit, (load - created) / loadLimit,
                loaded ? "" : " (LIST INCOMPLETE)");
    std::printf("run over %d games (%d requests): window %.3f s, requests and cutting alone %.3f s: %.2fx the limit%s\n",
                kRunGames, requests, run, runLimit, run / runLimit, ran ? "" : " (RUN UNFINISHED)");
    std::printf("sort of %d rows by the total (column 3): %.3f s, one read of every cell %.3f s: %.2fx the limit\n", kGames,
                sort, sortLimit, sort / sortLimit);
    form.Destroy();
    PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 10000);
    SetWaitSeam(nullptr);
    return loaded && ran ? 0 : 1;
}
