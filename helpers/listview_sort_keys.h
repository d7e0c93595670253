#pragma once
// Sorting the rows of a report-mode list view by keys the caller derives from the cells, for columns
// whose cells do not compare as they read: a price "1,280" sorts by 1280 once its thousands
// separators are taken out.
#include "runtime/text.h"

#include <windows.h>

// The texts of one column, row by row (read on the calling thread; call it on the window thread).
TextArray ListViewColumnTexts(HWND listView, int column);

// Reorders all rows of `listView` as SortListViewByColumn (listview_sort.h) would order a column that
// held `keys` (one key per row, in row order), with the same kinds, ties and reversal, and rewrites
// every cell text with the list's redraw held. Nothing happens when the keys do not match the rows.
// Call it on the list's window thread. Returns the milliseconds it took.
int SortListViewByKeys(HWND listView, const TextArray& keys, int kind, bool caseSensitive = true,
                       bool ascending = true);
