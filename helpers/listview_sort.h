#pragma once
// Sorting the rows of a report-mode list view by one column, and copying rows between list views.
//
// Both helpers work only through the list view's own messages (cell texts read with
// LVM_GETITEMTEXT, written with LVM_SETITEMTEXT), so a worker thread may call them: each message is
// carried to the window's thread. They keep no state between calls and take no lock; nothing else may
// change the rows of the same list view while one runs. Only cell texts are touched: item data,
// images, states and selection stay where they are.
#include <windows.h>

#include <string_view>

#include "runtime/text.h"

// How the cells of the sort column compare. Any other value is taken as ListViewSortText.
enum ListViewSortKind : int {
    ListViewSortNumber = 0,    // the text's leading number; equal within 1e-7
    ListViewSortText = 1,      // multibyte comparison in the ANSI code page (GBK)
    ListViewSortDateTime = 2,  // the text read as a date-time, compared as its day count
    ListViewSortLogical = 3,   // "假" against everything else
};

// Reorders all rows of `listView` by the texts of 0-based `column` and rewrites every cell text.
// `caseSensitive` applies to the text kind only; `ascending` false gives the exact reverse of the
// ascending order. Returns the milliseconds the sort took (GetTickCount).
int SortListViewByColumn(HWND listView, int column, int kind = ListViewSortNumber, bool caseSensitive = true,
                         bool ascending = true);

// Reorders all rows of `listView` as SortListViewByColumn orders a column that held `keys` (one key
// per row, in row order: for columns whose cells do not compare as they read, such as a price "1,280"
// that sorts by 1280), with the same kinds, ties and reversal. Nothing happens when there are not as
// many keys as rows. Returns the milliseconds it took.
int SortListViewByKeys(HWND listView, const TextArray& keys, int kind, bool caseSensitive = true,
                       bool ascending = true);

// The texts of one column, top to bottom (read on the list's window thread).
TextArray ListViewColumnTexts(HWND listView, int column);

// The 1-based position (1 to keys.size() + 1) at which `key` goes into the sorted `keys` (kinds
// number, text and date-time; any other kind compares as text). A tie with the last key goes after
// it, a tie with the first key before it, a tie met in the search directly after the probed key.
int FindSortedInsertPosition(const TextArray& keys, std::string_view key, int kind, bool caseSensitive);

// Appends a copy of every row of `source` (its cell texts) to the end of `destination`.
void AppendListViewRows(HWND source, HWND destination);

// The readings and the comparison behind the sort kinds.

// Kind number: full-width ASCII forms and the ideographic space mapped to ASCII, then the leading
// decimal number (blanks, sign, digits, point, exponent e/E/d/D); 0 without one.
double ListViewSortNumberOf(std::string_view text);

// Kind date-time: the OLE automation date of a text such as "2015-3-7 9:05" or
// "2015年3月7日9时5分"; 1 January 100 (-657434) for a text that is not a date-time.
double ListViewSortDateTimeOf(std::string_view text);

// Kind text: <0, 0, >0. Bytes compare unsigned, a double-byte character as one unit; without
// `caseSensitive` single-byte letters compare as lower case and double-byte characters after the
// system locale's upper-case mapping (full-width, Greek and Cyrillic letters).
int ListViewSortCompareText(std::string_view a, std::string_view b, bool caseSensitive);
