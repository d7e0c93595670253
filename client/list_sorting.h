#pragma once
// What the sortable lists of the windows share: the hidden sort-direction label that a column click
// reads and turns, and the sort of a list whose price column holds texts such as "1,280".
#include "runtime/forms.h"

#include <string_view>

// The label's text after a sort in that direction: "升" after an ascending one, "降" after a
// descending one.
inline const char* SortDirectionLabel(bool ascending) { return ascending ? "升" : "降"; }

// A column click on a list whose label reads "降" sorts ascending, one whose label reads "升"
// descending; false for any other text (the click sorts nothing).
bool SortDirectionFromLabel(std::string_view label, bool& ascending);

// Sorts `list` by `column` with `kind` (ListViewSortKind; below 0: the column does not sort). The
// cells of `priceColumn` sort by their value: their thousands separators are taken out of the keys.
void SortListWithPrices(const Control& list, int column, int kind, bool ascending, int priceColumn);
