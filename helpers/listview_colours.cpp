#include "helpers/listview_colours.h"

#include <commctrl.h>

namespace {

// Constant-initialised: usable before main (no order of construction to worry about), its entries
// freed at program end.
constinit ListViewColourTable theTable;

class Locked {
public:
    explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Locked() { ReleaseSRWLockExclusive(&lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& lock_;
};

// Repaints by hiding the list view and showing it again. A hidden list view is left hidden: it is
// painted anew when it is shown.
void Repaint(HWND listView)
{
    if (!listView || !IsWindow(listView)) return;
    if (!(GetWindowLongA(listView, GWL_STYLE) & WS_VISIBLE)) return;
    ShowWindow(listView, SW_HIDE);
    ShowWindow(listView, SW_SHOW);
}

}  // namespace

ListViewColourTable& ListViewColourTable::Instance() { return theTable; }

std::vector<CellColour> ListViewColourTable::Entries() const
{
    Locked hold(lock_);
    return entries_;
}

bool ListViewColourTable::Subclassed() const
{
    Locked hold(lock_);
    return subclassed_;
}

HWND ListViewColourTable::ParentWindow() const
{
    Locked hold(lock_);
    return parent_;
}

HWND ListViewColourTable::ListView() const
{
    Locked hold(lock_);
    return listView_;
}

WNDPROC ListViewColourTable::PreviousWindowProc() const
{
    Locked hold(lock_);
    return previous_;
}

void SetListViewCellColour(HWND parent, HWND listView, int row, int column, COLORREF textColour,
                           std::optional<COLORREF> backColour)
{
    // The list view's own colours are asked before the lock is taken: the messages may have to wait
    // for the window thread.
    const auto ownText = static_cast<COLORREF>(SendMessageA(listView, LVM_GETTEXTCOLOR, 0, 0));
    const auto ownBack = static_cast<COLORREF>(SendMessageA(listView, LVM_GETTEXTBKCOLOR, 0, 0));
    const COLORREF back = backColour.value_or(ownBack);

    ListViewColourTable& t = theTable;
    {
        Locked hold(t.lock_);
        // Only one list view is coloured at a time. When its parent changes, the old parent gets
        // its own procedure back before the new one is subclassed; otherwise the old parent would
        // keep the replacement and the new one could later be given the old one's procedure.
        if (t.subclassed_ && t.parent_ != parent) {
            if (IsWindow(t.parent_)) SetWindowLongPtrA(t.parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(t.previous_));
            t.subclassed_ = false;
        }
        t.parent_ = parent;
        if (!t.subclassed_) {
            const auto ours = reinterpret_cast<LONG_PTR>(&ListViewColourWindowProc);
            // Never chain the replacement to itself (the parent already carrying it would call
            // itself for ever); a parent that cannot be subclassed leaves the flag clear.
            if (GetWindowLongPtrA(parent, GWLP_WNDPROC) != ours) {
                const LONG_PTR previous = SetWindowLongPtrA(parent, GWLP_WNDPROC, ours);
                if (previous) {
                    t.previous_ = reinterpret_cast<WNDPROC>(previous);
                    t.subclassed_ = true;
                }
            }
        }
        t.listView_ = listView;

        const bool own = textColour == ownText && back == ownBack;
        auto it = t.entries_.begin();
        while (it != t.entries_.end() && !(it->row == row && it->column == column)) ++it;
        if (it != t.entries_.end()) {
            if (own) {
                t.entries_.erase(it);
            } else {
                it->textColour = textColour;
                it->backColour = back;
            }
        } else if (!own) {
            t.entries_.push_back(CellColour{row, column, textColour, back});
        }
    }
    Repaint(listView);
}

LRESULT CALLBACK ListViewColourWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ListViewColourTable& t = theTable;
    WNDPROC previous = nullptr;
    NMLVCUSTOMDRAW* cellDraw = nullptr;  // a cell's paint, answered from the table
    bool found = false;
    CellColour colour{};
    HWND listView = nullptr;
    {
        Locked hold(t.lock_);
        previous = t.previous_;
        listView = t.listView_;
        if (message == WM_NOTIFY && lParam) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == static_cast<UINT>(NM_CUSTOMDRAW) && listView && header->hwndFrom == listView) {
                auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
                const DWORD stage = draw->nmcd.dwDrawStage;
                // CDRF_NOTIFYITEMDRAW has the value of CDRF_NOTIFYSUBITEMDRAW: both levels are asked for.
                if (stage == CDDS_PREPAINT || stage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYITEMDRAW;
                if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
                    cellDraw = draw;
                    const auto row = static_cast<std::int32_t>(draw->nmcd.dwItemSpec);
                    for (const CellColour& e : t.entries_) {
                        if (e.row == row && e.column == draw->iSubItem) {
                            colour = e;
                            found = true;
                            break;
                        }
                    }
                }
            }
        } else if ((message == WM_CLOSE || message == WM_DESTROY) && t.subclassed_ && window == t.parent_) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(t.previous_));
            t.subclassed_ = false;
        }
    }
    if (cellDraw) {
        if (found) {
            cellDraw->clrText = colour.textColour;
            cellDraw->clrTextBk = colour.backColour;
        } else {
            cellDraw->clrText = RGB(0, 0, 0);
            cellDraw->clrTextBk = static_cast<COLORREF>(SendMessageA(listView, LVM_GETTEXTBKCOLOR, 0, 0));
        }
    }
    if (!previous) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

void ClearListViewColours()
{
    ListViewColourTable& t = theTable;
    HWND listView = nullptr;
    {
        Locked hold(t.lock_);
        if (!t.subclassed_) return;
        if (IsWindow(t.parent_)) SetWindowLongPtrA(t.parent_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(t.previous_));
        t.entries_.clear();
        t.subclassed_ = false;
        listView = t.listView_;
    }
    Repaint(listView);
}
