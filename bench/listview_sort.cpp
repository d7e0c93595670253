// SortListViewByColumn on 10,000 rows x 8 columns, for each sort kind, next to the list view's own
// LVM_SORTITEMSEX on the same rows (its comparison reads both cells through LVM_GETITEMTEXT and
// compares them by the same kind). Run: scripts/wine-run.sh build build/bench/bench_listview_sort.exe
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "helpers/listview_sort.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 8;

using Table = std::vector<std::vector<std::string>>;

Table MakeRows()
{
    std::mt19937 random(5173);
    const char* syllables[] = {"金币", "装备", "账号", "点卡", "魔兽", "梦幻", "西游", "天龙", "Gold", "item", "Zone", "服"};
    const char* logical[] = {"假", "真"};
    Table rows(kRows, std::vector<std::string>(kColumns));
    for (int r = 0; r < kRows; ++r) {
        auto& row = rows[r];
        row[0] = std::to_string(random() % 100000 / 100.0).substr(0, 7);  // prices such as 512.340
        for (int i = 0; i < 3; ++i) row[1] += syllables[random() % 12];
        char date[64];
        if (random() % 2)
            std::snprintf(date, sizeof date, "%u-%u-%u %u:%02u:%02u", 2010 + random() % 6, 1 + random() % 12,
                          1 + random() % 28, random() % 24, random() % 60, random() % 60);
        else
            std::snprintf(date, sizeof date, "%u年%u月%u日%u时%u分", 2010 + random() % 6, 1 + random() % 12,
                          1 + random() % 28, random() % 24, random() % 60);
        row[2] = date;
        row[3] = logical[random() % 2];
        for (int k = 4; k < kColumns; ++k) row[k] = "第" + std::to_string(random() % 1000) + "区" + syllables[random() % 12];
    }
    return rows;
}

void SetCell(HWND list, int row, int column, const std::string& text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

void Load(HWND list, const Table& rows)
{
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != kRows) {
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        for (int r = 0; r < kRows; ++r) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>("");
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    for (int r = 0; r < kRows; ++r)
        for (int k = 0; k < kColumns; ++k) SetCell(list, r, k, rows[r][k]);
}

std::string Cell(HWND list, int row, int column)
{
    char buffer[512];
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    buffer[0] = '\0';
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

struct Sorting {
    HWND list;
    int column;
    int kind;
};

int CALLBACK CompareCells(LPARAM first, LPARAM second, LPARAM context)
{
    const auto* s = reinterpret_cast<const Sorting*>(context);
    const std::string a = Cell(s->list, static_cast<int>(first), s->column);
    const std::string b = Cell(s->list, static_cast<int>(second), s->column);
    switch (s->kind) {
    case ListViewSortNumber:
    case ListViewSortDateTime: {
        const bool number = s->kind == ListViewSortNumber;
        const double x = number ? ListViewSortNumberOf(a) : ListViewSortDateTimeOf(a);
        const double y = number ? ListViewSortNumberOf(b) : ListViewSortDateTimeOf(b);
        return x - y < -1e-7 ? -1 : x - y > 1e-7 ? 1 : 0;
    }
    case ListViewSortLogical:
        return (a == "假") - (b == "假");
    default:
        return ListViewSortCompareText(a, b, true);
    }
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart;
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool SortedBy(HWND list, int column, int kind)
{
    Sorting s{list, column, kind};
    for (int r = 1; r < kRows; ++r)
        if (kind != ListViewSortLogical && CompareCells(r - 1, r, reinterpret_cast<LPARAM>(&s)) > 0) return false;
    return true;
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX init{sizeof init, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    HWND parent = CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 780, 560, parent,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int k = 0; k < kColumns; ++k) {
        char title[8];
        std::snprintf(title, sizeof title, "c%d", k);
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.cx = 90;
        c.pszText = title;
        SendMessageA(list, LVM_INSERTCOLUMNA, k, reinterpret_cast<LPARAM>(&c));
    }
    const Table rows = MakeRows();
    const struct {
        const char* name;
        int kind;
        int column;
    } kinds[] = {{"number", ListViewSortNumber, 0},
                 {"text", ListViewSortText, 1},
                 {"date-time", ListViewSortDateTime, 2},
                 {"logical", ListViewSortLogical, 3}};

    std::printf("SortListViewByColumn, %d rows x %d columns (milliseconds)\n", kRows, kColumns);
    std::printf("%-10s %12s %10s %16s %8s\n", "kind", "ours", "returned", "LVM_SORTITEMSEX", "ratio");
    bool allSorted = true;
    for (const auto& k : kinds) {
        Load(list, rows);
        Pump();
        LARGE_INTEGER a, b, c, d;
        QueryPerformanceCounter(&a);
        const int returned = SortListViewByColumn(list, k.column, k.kind, true, true);
        QueryPerformanceCounter(&b);
        allSorted = allSorted && SortedBy(list, k.column, k.kind);
        Pump();

        Load(list, rows);
        Pump();
        Sorting s{list, k.column, k.kind};
        QueryPerformanceCounter(&c);
        SendMessageA(list, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&CompareCells));
        QueryPerformanceCounter(&d);
        Pump();
        const double ours = Milliseconds(a, b), theirs = Milliseconds(c, d);
        std::printf("%-10s %12.1f %10d %16.1f %8.2f\n", k.name, ours, returned, theirs, ours / theirs);
    }

    // The same number sort called from a worker thread: every message waits on this thread.
    Load(list, rows);
    Pump();
    std::atomic<bool> done{false};
    int returned = 0;
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    std::thread worker([&] {
        returned = SortListViewByColumn(list, 0, ListViewSortNumber, true, false);
        done = true;
    });
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    worker.join();
    QueryPerformanceCounter(&b);
    std::printf("%-10s %12.1f %10d   (number, descending, called from a worker thread)\n", "worker",
                Milliseconds(a, b), returned);
    std::printf("results sorted: %s\n", allSorted ? "yes" : "NO");
    DestroyWindow(parent);
    return allSorted ? 0 : 1;
}
