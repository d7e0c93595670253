// A ranking load of page 3 against the replica on the loopback interface:
//  - the window-thread step that writes a page (three lists of ten rows, both history lists, the labels)
//    against the same writes as plain control messages with the lists' redraw held;
//  - the whole load from the click to the chart shown, against its requests, cutting and decoding alone.
// Run: scripts/wine-run.sh build build/bench/bench_rankings.exe
#include "client/main_window.h"
#include "client/rankings.h"
#include "helpers/http_client.h"
#include "support/pump.h"
#include "support/replica_loopback.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 40;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The same writes as WriteRankingPage, as plain messages with the redraw of every list held.
void PlainWrites(const Form& form, const RankingPage& page)
{
    HWND lists[] = {form.Control(kTotalRankingList).Handle(), form.Control(kCurrencyRankingList).Handle(),
                    form.Control(kEquipmentRankingList).Handle(), form.Control(kHistoryCaptions).Handle(),
                    form.Control(kHistoryAddresses).Handle()};
    for (HWND h : lists)
        SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    SetWindowTextA(form.Control(kWeekHeadingLabel).Handle(), page.weekHeading.c_str());
    const std::vector<TextArray>* rows[] = {&page.totalRows, &page.currencyRows, &page.equipmentRows};
    for (int l = 0; l < 3; ++l)
        for (std::size_t r = 0; r < rows[l]->size(); ++r)
            for (std::size_t k = 0; k < (*rows[l])[r].size(); ++k) {
                LVITEMA item = {};
                item.iSubItem = static_cast<int>(k) + 1;
                item.pszText = const_cast<char*>((*rows[l])[r][k].c_str());
                SendMessageA(lists[l], LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
            }
    const TextArray* items[] = {&page.historyCaptions, &page.historyAddresses};
    for (int l = 0; l < 2; ++l) {
        SendMessageA(lists[3 + l], LB_RESETCONTENT, 0, 0);
        for (const Text& t : *items[l])
            SendMessageA(lists[3 + l], LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
    }
    SetWindowTextA(form.Control(kChartTitleLabel).Handle(), page.chartTitle.c_str());
    for (int l = 0; l < 5; ++l) {
        const bool shown = l != 4;
        SendMessageA(lists[l], WM_SETREDRAW, TRUE, 0);
        if (!shown)
            SetWindowLongW(lists[l], GWL_STYLE, GetWindowLongW(lists[l], GWL_STYLE) & ~WS_VISIBLE);
        InvalidateRect(lists[l], nullptr, TRUE);
    }
}

}  // namespace

int main()
{
    ReplicaLoopback replica;
    if (!replica.Start()) {
        std::printf("cannot start the replica\n");
        return 1;
    }
    Form form = LoadMainWindow();
    form.Control("时钟1").SetInterval(0);
    form.Control(kMainTab).SetSelection(kPageRankings);
    PumpFor(300);

    const RankingPage page = ParseRankingPage(FetchUrlText(CurrentRankingAddress()));
    int writes = 2;  // the two labels
    for (const auto* rows : {&page.totalRows, &page.currencyRows, &page.equipmentRows})
        for (const TextArray& row : *rows)
            writes += static_cast<int>(row.size());
    writes += static_cast<int>(page.historyCaptions.size() + page.historyAddresses.size());

    double step = 1e9, limit = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        double t0 = Now();
        WriteRankingPage(form, page);
        GdiFlush();
        step = std::min(step, Now() - t0);
        PumpFor(5);
        t0 = Now();
        PlainWrites(form, page);
        GdiFlush();
        limit = std::min(limit, Now() - t0);
        PumpFor(5);
    }
    std::printf("ranking page write (%d control writes): step %.3f ms, plain messages with redraw held %.3f ms\n",
                writes, step, limit);
    std::printf("  step / limit = %.2f (%.2f us a write against %.2f us)\n", step / limit, step * 1000 / writes,
                limit * 1000 / writes);

    // The whole load, clicked on the window thread, to its chart shown; against its requests, the
    // cutting and the chart's decoding alone, one after the other on the window thread.
    double load = 1e9, alone = 1e9;
    for (int i = 0; i < 10; ++i) {
        form.Control(kChartThumbnail).SetPicture({});
        double t0 = Now();
        form.Raise(kRankingButton, Event::Click);
        PumpUntil([&] { return form.Control(kChartThumbnail).HasPicture(); }, 20000);
        load = std::min(load, Now() - t0);
        t0 = Now();
        RankingPage p = ParseRankingPage(FetchUrlText(CurrentRankingAddress()));
        ByteSet chart = ChartPictureBytes(FetchUrlBytes(p.chartPictureAddress));
        form.Control(kChartThumbnail).SetPicture(chart);
        alone = std::min(alone, Now() - t0);
    }
    std::printf("whole load, click to chart shown: %.1f ms; requests, cutting and decoding alone: %.1f ms; "
                "ratio %.2f\n",
                load, alone, load / alone);

    form.Destroy();
    MainWindow = Form();
    PumpFor(50);
    return 0;
}
