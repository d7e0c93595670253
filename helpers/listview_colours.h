#pragma once
// Own text and background colours for single cells of one report-mode list view.
//
// The colours live in one process-wide table. The window that receives the list view's
// notifications is subclassed once; its new procedure answers the list view's custom-draw
// notifications with the colours of the cell being drawn. Colours belong to row and column
// positions, not to the data shown there: after a sort a coloured position keeps its colour.
//
// The table is guarded by a lock: a worker thread may colour cells while the window thread paints.
// Every access to the table's fields happens under the lock, the paint answer copies the colour out
// under it, and no message is sent to a window while it is held (a worker holding it while the
// window thread waits for it in a paint would otherwise deadlock).
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

// One coloured cell.
struct CellColour {
    std::int32_t row;     // 0-based row index
    std::int32_t column;  // 0-based column index (0 = the item text)
    COLORREF textColour;
    COLORREF backColour;

    friend bool operator==(const CellColour&, const CellColour&) = default;
};
static_assert(sizeof(CellColour) == 16, "four 32-bit integers");

// The table of cell colours; the process has one, ListViewColourTable::Instance().
class ListViewColourTable {
public:
    static ListViewColourTable& Instance();

    // Copies of the fields, taken under the lock.
    std::vector<CellColour> Entries() const;
    bool Subclassed() const;
    HWND ParentWindow() const;
    HWND ListView() const;
    WNDPROC PreviousWindowProc() const;

    constexpr ListViewColourTable() = default;
    ListViewColourTable(const ListViewColourTable&) = delete;
    ListViewColourTable& operator=(const ListViewColourTable&) = delete;

private:
    friend void SetListViewCellColour(HWND, HWND, int, int, COLORREF, std::optional<COLORREF>);
    friend LRESULT CALLBACK ListViewColourWindowProc(HWND, UINT, WPARAM, LPARAM);
    friend void ClearListViewColours();

    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    HWND parent_ = nullptr;          // receives the list view's WM_NOTIFY; the subclassed window
    bool subclassed_ = false;        // parent_'s procedure is currently ListViewColourWindowProc
    WNDPROC previous_ = nullptr;     // parent_'s procedure before the replacement
    HWND listView_ = nullptr;        // the coloured list view
    std::vector<CellColour> entries_;  // at most one entry per row and column
};

// Records or changes the colours of cell (row, column) of `listView` and repaints it. `parent` is
// the window that receives the list view's notifications; it is subclassed on the first call. The
// back colour defaults to the list view's text background colour. Colouring a cell with exactly
// the list view's own text and text background colours removes its entry.
void SetListViewCellColour(HWND parent, HWND listView, int row, int column, COLORREF textColour,
                           std::optional<COLORREF> backColour = std::nullopt);

// The parent's replacement procedure: answers the list view's custom draw, puts the previous
// procedure back when the parent is closed or destroyed (the entries stay), passes on the rest.
LRESULT CALLBACK ListViewColourWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Removes all entries, undoes the subclassing and repaints the list view; nothing while the parent
// is not subclassed.
void ClearListViewColours();
