// Sorting list-view rows by derived keys (see listview_sort_keys.h).
#include "helpers/listview_sort_keys.h"

#include "helpers/listview_direct.h"
#include "helpers/listview_sort.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

Text ReadCell(const ListViewDirect& list, int row, int column, std::vector<char>& buffer)
{
    if (buffer.size() < 256)
        buffer.resize(256);
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        int n = static_cast<int>(list.Send(LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (n < 0)
            n = 0;
        // A cut text may end two bytes short of the buffer (a double-byte character that did not fit).
        if (n + 2 < static_cast<int>(buffer.size()) || buffer.size() >= (1u << 20))
            return Text(buffer.data(), static_cast<std::size_t>(std::min(n, static_cast<int>(buffer.size()) - 1)));
        buffer.resize(buffer.size() * 4);
    }
}

int ColumnCount(const ListViewDirect& list)
{
    HWND header = reinterpret_cast<HWND>(list.Send(LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

}  // namespace

TextArray ListViewColumnTexts(HWND listView, int column)
{
    TextArray texts;
    const ListViewDirect list(listView);
    const int n = static_cast<int>(list.Send(LVM_GETITEMCOUNT, 0, 0));
    std::vector<char> buffer;
    texts.reserve(n > 0 ? n : 0);
    for (int r = 0; r < n; ++r)
        texts.push_back(ReadCell(list, r, column, buffer));
    return texts;
}

int SortListViewByKeys(HWND listView, const TextArray& keys, int kind, bool caseSensitive, bool ascending)
{
    const DWORD start = GetTickCount();
    const ListViewDirect list(listView);
    const int n = static_cast<int>(list.Send(LVM_GETITEMCOUNT, 0, 0));
    if (n != static_cast<int>(keys.size()) || n == 0)
        return static_cast<int>(GetTickCount() - start);
    if (kind < ListViewSortNumber || kind > ListViewSortLogical)
        kind = ListViewSortText;

    // The order list, built as the column sort builds it.
    std::vector<int> order;
    order.reserve(n);
    if (kind == ListViewSortLogical) {
        std::vector<int> falses;
        for (int r = 0; r < n; ++r) {
            if (keys[r] == "假")
                falses.push_back(r);
            else
                order.insert(order.begin(), r);
        }
        order.insert(order.end(), falses.begin(), falses.end());
    } else {
        TextArray sorted;
        sorted.reserve(n);
        for (int r = 0; r < n; ++r) {
            const int p = FindSortedInsertPosition(sorted, keys[r], kind, caseSensitive);
            sorted.insert(sorted.begin() + (p - 1), keys[r]);
            order.insert(order.begin() + (p - 1), r);
        }
    }

    const int columns = ColumnCount(list);
    if (columns <= 0)
        return static_cast<int>(GetTickCount() - start);
    std::vector<char> buffer;
    std::vector<Text> cells(static_cast<std::size_t>(n) * columns);
    for (std::size_t j = 0; j < cells.size(); ++j) {
        const int q = static_cast<int>(j / columns);
        const int source = ascending ? order[q] : order[n - 1 - q];
        cells[j] = ReadCell(list, source, static_cast<int>(j % columns), buffer);
    }
    // Redraw is held only for a list that is not hidden itself: turning it back on would show a hidden
    // one.
    const bool shown = (GetWindowLongA(listView, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown)
        list.Send(WM_SETREDRAW, FALSE, 0);
    for (std::size_t j = 0; j < cells.size(); ++j) {
        LVITEMA item = {};
        item.iSubItem = static_cast<int>(j % columns);
        item.pszText = const_cast<char*>(cells[j].c_str());
        list.Send(LVM_SETITEMTEXTA, j / columns, reinterpret_cast<LPARAM>(&item));
    }
    if (shown) {
        list.Send(WM_SETREDRAW, TRUE, 0);
        InvalidateRect(listView, nullptr, TRUE);
    }
    return static_cast<int>(GetTickCount() - start);
}
