// The list view's part of Control: rows, cells and columns in report mode, one at a time and in
// batches of rows (runtime/window_thread.h). Each operation runs on the control's window thread
// (WithControl) or is queued for it (QueueForControl) and does nothing for a dead control.
#include "runtime/forms_internal.h"

#include <algorithm>
#include <climits>
#include <optional>

using namespace forms_detail;

namespace {

using K = ControlKind;

// Every message costs time (under Wine a good deal of it), so the cell calls below ask the list view
// nothing beforehand: a column is checked against the declared ones (the header only past them), and
// a row out of range is refused by the list view itself.
bool HasColumn(const ControlState& c, int column)
{
    return column >= 0 && (column < static_cast<int>(c.spec.columns.size()) || column < ListColumns(c.hwnd));
}

void SetCellText(const ControlState& c, int row, int column, const Text& text)
{
    HWND h = c.hwnd;
    if (row < 0 || !HasColumn(c, column))
        return;
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(h, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

namespace forms_detail {

int ListRows(HWND h) { return static_cast<int>(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0)); }

int ListColumns(HWND h)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(h, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

// `buf` is a buffer the caller may keep for the next cell.
Text CellText(const ControlState& c, int row, int column, std::vector<char>& buf)
{
    HWND h = c.hwnd;
    if (row < 0 || !HasColumn(c, column))
        return Text();
    if (buf.size() < 256)
        buf.resize(256);
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buf.data();
        item.cchTextMax = static_cast<int>(buf.size());
        int n = static_cast<int>(SendMessageA(h, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= (1u << 20))
            return Text(buf.data(), static_cast<std::size_t>(std::max(n, 0)));
        buf.resize(buf.size() * 4);
    }
}

Text CellText(const ControlState& c, int row, int column)
{
    std::vector<char> buf;
    return CellText(c, row, column, buf);
}

int InsertListRow(HWND h, int position, const Text& text)
{
    // An index past the end appends.
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = position < 0 ? INT_MAX : position;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

int FirstSelected(HWND h) { return static_cast<int>(SendMessageA(h, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

void SelectRow(HWND h, int row)
{
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    clear.state = 0;
    SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    if (row < 0 || row >= ListRows(h))
        return;
    LVITEMA set = {};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(h, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&set));
    SendMessageA(h, LVM_ENSUREVISIBLE, row, FALSE);
}

}  // namespace forms_detail

int Control::RowCount() const
{
    int n = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::ListView) n = ListRows(c.hwnd);
    });
    return n;
}

int Control::ColumnCount() const
{
    int n = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::ListView) n = ListColumns(c.hwnd);
    });
    return n;
}

int Control::InsertRow(int position, std::string_view text) const
{
    int row = -1;
    Text copy(text);
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        HoldRedrawForWorker(c);
        row = InsertListRow(c.hwnd, position, copy);
    });
    return row;
}

int Control::AddRow(std::string_view text) const { return InsertRow(-1, text); }

int Control::InsertRowCells(int position, const TextArray& cells) const
{
    int row = -1;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        HoldRedrawForWorker(c);
        row = InsertListRow(c.hwnd, position, cells.empty() ? Text() : cells[0]);
        if (row < 0)
            return;
        for (std::size_t i = 1; i < cells.size(); ++i)
            SetCellText(c, row, static_cast<int>(i), cells[i]);
    });
    return row;
}

void Control::DeleteRow(int row) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind == K::ListView && row >= 0) SendMessageA(c.hwnd, LVM_DELETEITEM, row, 0);
    });
}

void Control::ClearRows() const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind == K::ListView) SendMessageA(c.hwnd, LVM_DELETEALLITEMS, 0, 0);
    });
}

Text Control::Cell(int row, int column) const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::ListView) t = CellText(c, row, column);
    });
    return t;
}

void Control::SetCell(int row, int column, std::string_view text) const
{
    Text copy(text);
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        HoldRedrawForWorker(c);
        SetCellText(c, row, column, copy);
    });
}

TextArray Control::RowCells(int row) const
{
    TextArray out;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView || row < 0 || row >= ListRows(c.hwnd))
            return;
        int n = ListColumns(c.hwnd);
        for (int i = 0; i < n; ++i)
            out.push_back(CellText(c, row, i));
    });
    return out;
}

namespace {

// Window thread: `rows` into the list from `position` on; the number of rows the list took.
int InsertRowsNow(const ControlState& c, int position, const std::vector<TextArray>& rows)
{
    const int columns = std::max(static_cast<int>(c.spec.columns.size()), ListColumns(c.hwnd));
    int at = position < 0 ? INT_MAX : position;
    int taken = 0;
    for (const TextArray& cells : rows) {
        const int row = InsertListRow(c.hwnd, at, cells.empty() ? Text() : cells[0]);
        if (row < 0)
            break;  // out of memory: the rows taken so far stay
        const int n = std::min(static_cast<int>(cells.size()), columns);
        for (int k = 1; k < n; ++k) {
            if (cells[static_cast<std::size_t>(k)].empty())
                continue;
            LVITEMA item = {};
            item.iSubItem = k;
            item.pszText = const_cast<char*>(cells[static_cast<std::size_t>(k)].c_str());
            SendMessageA(c.hwnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        }
        ++taken;
        at = row + 1;
    }
    return taken;
}

}  // namespace

// Holds a list view's repainting for one batch of rows. A worker's batches share one hold for as long as
// they keep coming (the list is repainted some five to ten times a second meanwhile, so the rows show as
// they arrive without a repaint for every page); the window thread's own batch is held to its end.
class BatchHold {
public:
    explicit BatchHold(ControlState& c)
    {
        HoldRedrawForWorker(c);
        if (!RedrawHeld(c.hwnd))
            hold_.emplace(c.hwnd);
    }

private:
    std::optional<RedrawHold> hold_;
};

int Control::InsertRows(int position, const std::vector<TextArray>& rows) const
{
    int taken = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView || rows.empty())
            return;
        BatchHold hold(c);
        taken = InsertRowsNow(c, position, rows);
    });
    return taken;
}

void Control::SetRows(const std::vector<TextArray>& rows) const
{
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        BatchHold hold(c);
        SendMessageA(c.hwnd, LVM_DELETEALLITEMS, 0, 0);
        if (!rows.empty())
            SendMessageA(c.hwnd, LVM_SETITEMCOUNT, rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        InsertRowsNow(c, -1, rows);
    });
}

std::vector<TextArray> Control::AllRows() const
{
    std::vector<TextArray> out;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        const int n = ListRows(c.hwnd), columns = ListColumns(c.hwnd);
        std::vector<char> buf;
        out.assign(static_cast<std::size_t>(std::max(n, 0)), TextArray(static_cast<std::size_t>(columns)));
        for (int r = 0; r < n; ++r)
            for (int k = 0; k < columns; ++k)
                out[static_cast<std::size_t>(r)][static_cast<std::size_t>(k)] = CellText(c, r, k, buf);
    });
    return out;
}

TextArray Control::ColumnCells(int column) const
{
    TextArray out;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView || !HasColumn(c, column))
            return;
        const int n = ListRows(c.hwnd);
        std::vector<char> buf;
        out.reserve(static_cast<std::size_t>(std::max(n, 0)));
        for (int r = 0; r < n; ++r)
            out.push_back(CellText(c, r, column, buf));
    });
    return out;
}

void Control::SetRowImage(int row, int image) const
{
    QueueForControl(state_, [=](ControlState& c) {
        if (c.spec.kind != K::ListView || row < 0 || row >= ListRows(c.hwnd))
            return;
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = image;
        SendMessageA(c.hwnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    });
}

void Control::SetImageList(HIMAGELIST list) const
{
    bool taken = WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView)
            return;
        HIMAGELIST old = reinterpret_cast<HIMAGELIST>(
            SendMessageA(c.hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list)));
        if (old && old != list)
            ImageList_Destroy(old);
    });
    if (!taken && list)
        ImageList_Destroy(list);
}

Text Control::ColumnTitle(int column) const
{
    Text t;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind != K::ListView || column < 0 || column >= ListColumns(c.hwnd))
            return;
        char buf[512] = {};
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT;
        col.pszText = buf;
        col.cchTextMax = sizeof(buf);
        if (SendMessageA(c.hwnd, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&col)))
            t = buf;
    });
    return t;
}

int Control::ColumnWidth(int column) const
{
    int w = 0;
    WithControl(state_, [&](ControlState& c) {
        if (c.spec.kind == K::ListView && column >= 0 && column < ListColumns(c.hwnd))
            w = static_cast<int>(SendMessageA(c.hwnd, LVM_GETCOLUMNWIDTH, column, 0));
    });
    return w;
}
