// The deal statistics of 10,000 deals (the text sums, the two number sorts of the work lists and the
// average); the date query over 10,000 saved rows beside the same reads and writes as plain list-view
// messages with the redraw held (the control's own cost); and a whole latest-deal
// query that fills 160 rows from two pages of 80 served on the loopback interface, with the waits at 0.
// Run: scripts/wine-run.sh build build/bench/bench_deal_query.exe
#include "bench_support.h"
#include "client/deal_query.h"
#include "client/program_state.h"
#include "replica/deal_pages.h"
#include "runtime/seams.h"
#include "runtime/workers.h"
#include "support/loopback_http_server.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Milliseconds(LARGE_INTEGER a, LARGE_INTEGER b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

WindowLayout BenchLayout()
{
    using namespace ui;
    WindowLayout w{"成交量性能", {50, 50, 1000, 640}, true, {}};
    w.Add(Tab("选择夹1", {0, 0, 1000, 640}, {"5173成交量查询", "5173成交量统计"}));
    for (const char* name : {"游戏列表_游戏名_显", "游戏列表_游戏名_编号", "商品类型_类型_显", "商品类型_类型_隐",
                             "游戏分区_大区_显", "游戏分区_大区_隐", "游戏伺服_服务器_显", "游戏伺服_服务器_隐"})
        w.Add(ListBox(name, {6, 32, 240, 200}).In("选择夹1", 0));
    w.Add(TransparentLabel("状态", "", {6, 536, 240, 16}).In("选择夹1", 0).Hide());
    AddDealQueryControls(w);
    w.Add(StatusBar("状态条1", {0, 592, 914, 30}, {520, 200, -1}));
    return w;
}

}  // namespace

int main()
{
    bench::NoWait noWait;
    bench::AnswerOk answerOk;
    SetWaitSeam(&noWait);
    SetMessageBoxSeam(&answerOk);

    // Statistics of 10,000 deals.
    TextArray prices, unitPrices;
    for (int i = 0; i < 10000; ++i) {
        const replica::SampleDeal d = replica::MakeSampleDeal(i, "梦幻西游", "游戏币");
        prices.push_back(PriceNumberText(d.price));
        unitPrices.push_back(UnitPriceNumberText(d.unitPrice));
    }
    std::vector<double> runs;
    DealStatistics s;
    for (int k = 0; k < 5; ++k) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        s = ComputeDealStatistics(prices, unitPrices);
        QueryPerformanceCounter(&b);
        runs.push_back(Milliseconds(a, b));
    }
    std::printf("statistics of 10,000 deals:                %8.1f ms (median of 5; total %s, average %s)\n",
                Median(runs), s.priceTotal.c_str(), s.averageUnitPrice.c_str());

    EventTable events;
    BindDealQueryEvents(events);
    Form form = LoadForm(BenchLayout(), events);
    Control list = form.Control("成交信息");
    // 10,000 saved deals over six days, as a complete query leaves them.
    std::vector<TextArray> saved;
    for (int i = 0; i < 10000; ++i) {
        const replica::SampleDeal d = replica::MakeSampleDeal(i, "梦幻西游", "游戏币");
        saved.push_back({std::to_string(10000 - i), d.name, d.gameServer, d.goodsType, d.price, d.unitPrice,
                         d.dealTime.substr(2), d.address});
    }
    form.Control("成交信息复制").SetRows(saved);
    DateKey = "1-07";
    runs.clear();
    for (int k = 0; k < 3; ++k) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        form.Raise("按钮_查询指定日期", Event::Click);
        QueryPerformanceCounter(&b);
        runs.push_back(Milliseconds(a, b));
    }
    const double dateQuery = Median(runs);
    const int dayRows = list.RowCount();

    // The limit: the same reads and writes as plain list-view messages on the window thread, the redraw
    // of every list held: every cell of the saved copy read, the day's rows written into two lists, the
    // two one-column work lists written.
    auto plainLimit = [&] {
        std::vector<HWND> lists;
        for (const char* name : {"成交信息", "成交信息复制1", "总合_隐3", "单价_隐3"}) lists.push_back(form.Control(name).Handle());
        HWND source = form.Control("成交信息复制").Handle();
        for (HWND h : lists) {
            SendMessageA(h, WM_SETREDRAW, FALSE, 0);
            SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
        }
        char buf[256];
        std::vector<TextArray> day;
        for (int r = 0; r < 10000; ++r) {
            TextArray cells;
            for (int c = 0; c < 8; ++c) {
                LVITEMA item = {};
                item.iSubItem = c;
                item.pszText = buf;
                item.cchTextMax = sizeof buf;
                const LRESULT n = SendMessageA(source, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
                cells.emplace_back(buf, static_cast<std::size_t>(n));
            }
            if (DealTimeMatchesDateKey(cells[6], DateKey)) day.push_back(std::move(cells));
        }
        bench::PlainInsertRows(lists[0], day);
        bench::PlainInsertRows(lists[1], day);
        std::vector<TextArray> prices, units;
        for (const TextArray& d : day) {
            prices.push_back({PriceNumberText(d[4])});
            units.push_back({UnitPriceNumberText(d[5])});
        }
        bench::PlainInsertRows(lists[2], prices);
        bench::PlainInsertRows(lists[3], units);
        for (HWND h : lists) SendMessageA(h, WM_SETREDRAW, TRUE, 0);
        // (the hidden lists were shown by the redraw: they go back)
        for (std::size_t i = 1; i < lists.size(); ++i)
            SetWindowLongW(lists[i], GWL_STYLE, GetWindowLongW(lists[i], GWL_STYLE) & ~WS_VISIBLE);
        InvalidateRect(lists[0], nullptr, TRUE);
    };
    runs.clear();
    for (int k = 0; k < 3; ++k) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        plainLimit();
        QueryPerformanceCounter(&b);
        runs.push_back(Milliseconds(a, b));
    }
    const double limit = Median(runs);
    std::printf("date query over 10,000 saved rows (%d of the day): %8.1f ms (median of 3)\n", dayRows, dateQuery);
    std::printf("  the same reads and writes as plain messages, redraw held: %8.1f ms: ratio %.2f\n", limit,
                dateQuery / limit);

    // A whole query of two full pages.
    LoopbackHttpServer server([](const LoopbackRequest& r) {
        std::vector<replica::SampleDeal> deals;
        const bool second = r.target.find("&pg=2&") != std::string::npos;
        for (int i = 0; i < 80; ++i) deals.push_back(replica::MakeSampleDeal(second ? 80 + i : i, "梦幻西游", "游戏币"));
        return LoopbackReply::Ok(replica::DealListPageHtml(deals, 2, second ? 2 : 1, "160"));
    });
    if (!server.Start()) {
        std::printf("no loopback server\n");
        return 1;
    }
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", server.HostAndPort().c_str());
    Control game = form.Control("游戏列表_游戏名_编号");
    game.SetSelection(game.AddItem("1002"));
    runs.clear();
    for (int k = 0; k < 5; ++k) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        HANDLE worker = StartWorkerKept([form] { QueryLatestDeals(form); });
        WaitHandlePumping(worker, INFINITE);
        CloseHandle(worker);
        const int rows = list.RowCount();  // the last queued writes are done
        QueryPerformanceCounter(&b);
        runs.push_back(Milliseconds(a, b));
        if (rows != 160) std::printf("unexpected row count %d\n", rows);
    }
    std::printf("query of 2 pages, 160 rows, waits at 0:    %8.1f ms (median of 5, %zu requests)\n", Median(runs),
                server.RequestCount());
    form.Destroy();
    SetWaitSeam(nullptr);
    SetMessageBoxSeam(nullptr);
    return 0;
}
