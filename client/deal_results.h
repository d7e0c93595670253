#pragma once
// What the deal query and the date query share: the names of the current picks, the statistics labels
// and the summary line of the status bar.
#include "client/deal_query.h"

// The visible names at the current selections of the game, area, server and goods-type lists of page 0
// (empty for a list without a selection).
TextArray SelectedPickNames(const Form& form);

// Part 0 of 状态条1 after a query: picks, count caption and price total.
Text DealSummaryLine(const Form& form, std::string_view countCaption, std::string_view priceTotal);

// The seven statistics labels from a count caption and the statistics.
void ShowDealStatistics(const Form& form, std::string_view countCaption, const DealStatistics& s);

// Rows of a one-column work list, one text each.
std::vector<TextArray> OneColumnRows(const TextArray& texts);

// True from the start of a deal query to the end of the newest one (a selection that clears
// DealQueryBusy does not end it).
bool DealQueryRunning();
