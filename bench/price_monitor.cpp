// The price monitor over a listing page of 40 offers served on the loopback interface: one poll (on a
// worker, as a tick starts it) and one full check with its refill of the offer list (on a worker, as a
// poll hands over, and on the window thread, as a start runs it), each beside the fetch of the same
// page alone and beside an in-thread batch write of the same 40 rows into the offer list (the
// control's own cost). Goal: the work after the fetch within 3x of that batch write.
// Run: scripts/wine-run.sh build build/bench/bench_price_monitor.exe
#include "bench_support.h"
#include "client/listing_pages.h"
#include "client/main_window.h"
#include "client/monitor_page.h"
#include "client/pick_lists.h"
#include "helpers/http_client.h"
#include "replica/listing_pages.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"
#include "support/loopback_http_server.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {


double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median time of `runs` calls of `fn`.
double Time(int runs, const std::function<void()>& fn)
{
    std::vector<double> t;
    for (int k = 0; k < runs; ++k) {
        const double a = Now();
        fn();
        t.push_back(Now() - a);
    }
    return Median(t);
}

// Runs `fn` on a worker while this thread handles the window.
void OnWorker(const std::function<void()>& fn)
{
    HANDLE worker = StartWorkerKept(fn);
    WaitHandlePumping(worker, INFINITE);
    CloseHandle(worker);
}

WindowLayout BenchLayout()
{
    WindowLayout w{"价格监控性能", {50, 50, 1000, 640}, true, {}};
    w.Add(ui::Tab(kMainTab, {0, 0, 1000, 640}, {"5173成交量查询", "5173成交量统计", "5173价格监控"}));
    w.Add(ui::StatusBar("状态条1", {0, 592, 914, 30}, {440, 330, -1}));
    AddPickListControls(w);
    AddMonitorPageControls(w);
    return w;
}

void Pick(const Form& form, const char* visible, const char* hidden, const std::string& name, const std::string& link)
{
    Control v = form.Control(visible), h = form.Control(hidden);
    v.SetSelection(v.AddItem(name));
    h.SetSelection(h.AddItem(link));
}

}  // namespace

int main()
{
    bench::NoWait noWait;
    bench::AnswerOk answerOk;
    SetWaitSeam(&noWait);
    SetMessageBoxSeam(&answerOk);

    constexpr int kOffers = 40;
    std::vector<replica::SampleOffer> offers;
    for (int i = 0; i < kOffers; ++i)
        offers.push_back({i % 3 == 0, "【游戏币】问道 " + std::to_string(100 + i * 50) + "万金 即时到账",
                          std::to_string(1000 + i * 37) + ".00", "1.0" + std::to_string(10 + i), 900000 + i});
    const std::string page = replica::ListingPageHtml("s.5173.com", offers, 1);
    LoopbackHttpServer server([&page](const LoopbackRequest&) { return LoopbackReply::Ok(page); });
    if (!server.Start()) {
        std::printf("no loopback server\n");
        return 1;
    }
    SetEnvironmentVariableA("QUOVANTA_LISTING_HOST", server.HostAndPort().c_str());
    const std::string link = "http://" + server.HostAndPort() + "/g-t-0-a-s-0-0-0-0-0-0-0-0.shtml";

    EventTable events;
    BindMonitorPageEvents(events);
    Form form = LoadForm(BenchLayout(), events);
    form.Control(kMainTab).SetSelection(kPageMonitor);
    Pick(form, "游戏列表_游戏名_显1", "游戏列表_游戏名_编号1", "问道", "g");
    Pick(form, "商品类型_类型_显1", "商品类型_类型_隐1", "游戏币", "t");
    Pick(form, "游戏分区_大区_显1", "游戏分区_大区_隐1", "电信一区", "a");
    Pick(form, "游戏伺服_服务器_显1", "游戏伺服_服务器_隐1", "紫禁之巅", link);
    // Bounds that no offer meets: every poll and check runs to its end without an alert.
    form.Control("编辑框_单价小于").SetText("0.5");
    form.Raise("超级按钮_监控", Event::Click);
    const unsigned generation = ActiveMonitorGeneration();
    if (generation == 0 || form.Control("成交信息1").RowCount() != kOffers) {
        std::printf("the monitor did not start on the page (%d rows)\n", form.Control("成交信息1").RowCount());
        return 1;
    }

    // Every measure ends with the offer list painted, so that each counts the one repaint its rows cost
    // (the poll writes no shown list; its paint is nothing).
    Control list = form.Control("成交信息1");
    HWND h = list.Handle();
    auto painted = [h](const std::function<void()>& fn) {
        return [h, fn] {
            fn();
            UpdateWindow(h);
        };
    };
    const int runs = 61;
    const Text listing = ListingAddressOf(link);
    Text reply;
    const double fetch = Time(runs, [&] { OnWorker([&] { reply = FetchUrlText(listing); }); });
    const double parse = Time(runs, [&] { (void)ParseOffers(reply); });
    const double poll = Time(runs, painted([&] { OnWorker([&] { PollMonitoredOffers(form, generation); }); }));
    const double checkOnWorker =
        Time(runs, painted([&] { OnWorker([&] { MonitorOffersAndAlert(form, generation); }); }));
    const double checkOnWindow = Time(runs, painted([&] { MonitorOffersAndAlert(form, generation); }));

    // The limit: the same 40 rows written into the offer list on the window thread in one batch (the
    // runtime's batch write) and painted; beside it the plain list-view messages with the redraw held.
    const std::vector<TextArray> rows = OfferRows(ParseOffers(reply), 0, "游戏币");
    const double batch = Time(runs, painted([&] { list.SetRows(rows); }));
    const double unpainted = Time(runs, [&] { list.SetRows(rows); });
    UpdateWindow(h);
    const double plain = Time(runs, painted([&] {
        SendMessageA(h, WM_SETREDRAW, FALSE, 0);
        SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
        bench::PlainInsertRows(h, rows);
        SendMessageA(h, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(h, nullptr, TRUE);
    }));

    std::printf("listing page of %d offers (%zu bytes), medians of %d runs:\n", kOffers, page.size(), runs);
    std::printf("  fetch alone (worker):                   %7.2f ms\n", fetch);
    std::printf("  cutting the offers out of the page:     %7.2f ms\n", parse);
    std::printf("  batch write of the 40 rows, painted:    %7.2f ms (plain messages, redraw held: %.2f ms)\n", batch,
                plain);
    std::printf("  the same batch write without its paint: %7.2f ms\n", unpainted);
    auto line = [&](const char* what, double total) {
        const double after = total - fetch;
        std::printf("  %-39s%7.2f ms; after the fetch %6.2f ms = %.2fx the batch write\n", what, total, after,
                    after / batch);
    };
    line("poll (worker):", poll);
    line("full check with refill (worker):", checkOnWorker);
    line("full check with refill (window):", checkOnWindow);

    form.Raise("超级按钮_监控", Event::Click);
    form.Destroy();
    SetWaitSeam(nullptr);
    SetMessageBoxSeam(nullptr);
    return 0;
}
