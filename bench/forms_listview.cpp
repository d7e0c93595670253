// Fills a shown report list view of 10,000 rows x 8 columns and reads it back, three ways:
//   limit   plain list-view messages on the window thread with the redraw held for the whole batch:
//           the control's own cost, measured in this run;
//   batch   a worker hands pages of 80 rows to the window thread (Control::InsertRows), each page on
//           top as the deal query stacks them, and reads everything back in one step (AllRows);
//   cells   a worker writes cell by cell (InsertRow, SetCell), one call each, as a feature would
//           without batches (1,000 rows only: the rate is what counts).
// Prints each time and the speed of the batch and of the cells as a share of the limit.
// Run: scripts/wine-run.sh build build/bench/bench_forms_listview.exe
#include "runtime/forms.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 8;
constexpr int kPage = 80;
constexpr int kCellRows = 1000;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

Text CellOf(int r, int c) { return c == 0 ? std::to_string(r + 1) : "商品" + std::to_string(r) + "-" + std::to_string(c); }

void RunOffThread(std::function<void()> fn)
{
    HANDLE worker = StartWorkerKept(std::move(fn));
    WaitHandlePumping(worker, INFINITE);
    CloseHandle(worker);
}

}  // namespace

int main()
{
    std::vector<ColumnSpec> columns;
    for (int c = 0; c < kColumns; ++c)
        columns.push_back({"列" + std::to_string(c), 80});
    WindowLayout layout{"列表性能", {50, 50, 800, 600}, true, {}};
    layout.Add(ui::ListView("成交信息", {0, 0, 790, 560}, columns));
    layout.Add(ui::ListView("成交信息复制", {0, 0, 790, 560}, columns).Hide());
    Form form = LoadForm(layout);
    Control list = form.Control("成交信息");
    HWND h = list.Handle();
    ProcessPendingMessages();

    // The limit: plain messages on the window thread, redraw held, the same rows in the same places
    // (each page of 80 on top of the rows before it, its first row on top).
    double t0 = Now();
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    for (int first = 0; first < kRows; first += kPage) {
        for (int r = first; r < first + kPage && r < kRows; ++r) {
            Text text = CellOf(r, 0);
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = r - first;
            item.pszText = text.data();
            int row = static_cast<int>(SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
            for (int c = 1; c < kColumns; ++c) {
                Text cell = CellOf(r, c);
                LVITEMA sub = {};
                sub.iSubItem = c;
                sub.pszText = cell.data();
                SendMessageA(h, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
            }
        }
    }
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
    double limitWrite = Now() - t0;
    t0 = Now();
    long long chars = 0;
    char buf[256];
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = buf;
            item.cchTextMax = sizeof buf;
            chars += SendMessageA(h, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
        }
    double limitRead = Now() - t0;
    SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
    ProcessPendingMessages();

    // Batches from a worker.
    double batchWrite = 0, batchRead = 0;
    bool same = true;
    RunOffThread([&] {
        double a = Now();
        for (int first = 0; first < kRows; first += kPage) {
            std::vector<TextArray> page;
            for (int r = first; r < first + kPage && r < kRows; ++r) {
                TextArray cells;
                for (int c = 0; c < kColumns; ++c) cells.push_back(CellOf(r, c));
                page.push_back(std::move(cells));
            }
            list.InsertRows(0, page);
        }
        batchWrite = Now() - a;
        a = Now();
        std::vector<TextArray> rows = list.AllRows();
        batchRead = Now() - a;
        same = rows.size() == static_cast<std::size_t>(kRows) && rows.back()[kColumns - 1] == CellOf(kPage - 1, kColumns - 1);
    });
    list.ClearRows();

    // Cell by cell from a worker.
    double cellWrite = 0;
    RunOffThread([&] {
        double a = Now();
        for (int r = 0; r < kCellRows; ++r) {
            int row = list.InsertRow(-1, CellOf(r, 0));
            for (int c = 1; c < kColumns; ++c) list.SetCell(row, c, CellOf(r, c));
        }
        list.RowCount();  // every queued write done
        cellWrite = Now() - a;
    });

    // The fixed cost of one batch: a page of one row written and emptied again, shown and hidden.
    double perBatch[2] = {0, 0};
    for (int hidden = 0; hidden < 2; ++hidden) {
        Control target = form.Control(hidden ? "成交信息复制" : "成交信息");
        double a = Now();
        for (int i = 0; i < 200; ++i) {
            target.SetRows({{"1", "甲"}});
            target.SetRows({});
        }
        perBatch[hidden] = (Now() - a) / 400;
        ProcessPendingMessages();
    }

    const double cells = double(kRows) * kColumns;
    std::printf("limit, window thread, redraw held: write %7.3f s (%.2f us a cell), read %7.3f s (%.2f us a cell)\n",
                limitWrite, limitWrite * 1e6 / cells, limitRead, limitRead * 1e6 / cells);
    std::printf("worker, pages of %d rows:          write %7.3f s (%.2f us a cell), read %7.3f s (%.2f us a cell)\n",
                kPage, batchWrite, batchWrite * 1e6 / cells, batchRead, batchRead * 1e6 / cells);
    std::printf("worker, cell by cell (%d rows):  write %7.3f s (%.2f us a cell)\n", kCellRows, cellWrite,
                cellWrite * 1e6 / (double(kCellRows) * kColumns));
    std::printf("speed as a share of the limit: pages %.0f%% (write), %.0f%% (read); cell by cell %.1f%%\n",
                100.0 * limitWrite / batchWrite, 100.0 * limitRead / batchRead,
                100.0 * (limitWrite / cells) / (cellWrite / (double(kCellRows) * kColumns)));
    std::printf("one batch of one row on the window thread: shown %.3f ms, hidden %.3f ms\n", perBatch[0] * 1e3,
                perBatch[1] * 1e3);
    std::printf("characters read by the limit: %lld; batch read back %s\n", chars, same ? "as written" : "MISMATCH");
    form.Destroy();
    return same ? 0 : 1;
}
