#include "client/list_sorting.h"

#include "client/deal_query.h"
#include "helpers/listview_sort.h"

bool SortDirectionFromLabel(std::string_view label, bool& ascending)
{
    if (label == "降")
        ascending = true;
    else if (label == "升")
        ascending = false;
    else
        return false;
    return true;
}

void SortListWithPrices(const Control& list, int column, int kind, bool ascending, int priceColumn)
{
    HWND h = list.Handle();
    if (kind < 0 || !h)
        return;
    TextArray keys = ListViewColumnTexts(h, column);
    if (column == priceColumn)
        for (Text& key : keys) key = PriceNumberText(key);
    SortListViewByKeys(h, keys, kind, true, ascending);
}
