#pragma once
// The latest-deal query of page 0 with its statistics, the date query over its saved result, and the
// statistics list of page 1.
//
// The query worker reads every page of the platform's latest-deal list for the chosen game, area,
// server and goods type into 成交信息 and shows count, extremes, average unit price and total in the
// labels and the status bar; a complete result is kept in hidden copies that 按钮_恢复查询数据 brings
// back. Only the newest query writes: a query that is started while an older one still runs takes the
// result controls over, and the older one stops at its next step without writing anything more.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <atomic>

// --- The deal-list page --------------------------------------------------------------------------------

// Deals per page of the latest-deal list.
inline constexpr int kDealPageSize = 80;

// The address of page `page` (1 and up) of the latest-deal list for the given ids ("-1" for an area,
// server or goods type that is not chosen).
Text DealListPageAddress(std::string_view gameId, std::string_view areaId, std::string_view serverId,
                         std::string_view goodsTypeId, int page);

// The number of pages the first reply announces (0 when it announces none).
int DealPageCount(std::string_view reply);

// The deal records of one page, in page order (none for a reply without its record block).
TextArray SplitDealRecords(std::string_view reply);

// The fields of one record, each as found on the page (empty when its markers are missing).
struct DealRecord {
    Text name;        // 商品名称
    Text address;     // 交易地址
    Text unitPrice;   // 单价, such as "0.0215元"
    Text gameServer;  // 游戏区服
    Text goodsType;   // 商品类型
    Text price;       // 价格, such as "1,280"
    Text dealTime;    // 成交时间 without the first two digits of the year: "15-01-07 09:30:00"
};
DealRecord ParseDealRecord(std::string_view record);

// The deal count of the page footer ("1234" from "共 1234 单"); empty without a footer.
Text DealCountOfPage(std::string_view reply);

// --- Statistics ----------------------------------------------------------------------------------------

// The work-list number of a unit-price cell: the text before its first "元" (empty when it has none).
Text UnitPriceNumberText(std::string_view unitPriceCell);
// The work-list number of a price cell: the cell with every "," removed.
Text PriceNumberText(std::string_view priceCell);

// The statistics of a set of deals, as the labels show them.
struct DealStatistics {
    Text priceTotal;        // sum of the prices, "%.13g"
    Text lowestPrice;       // first and last of the prices sorted ascending as numbers
    Text highestPrice;
    Text unitPriceTotal;    // sum of the unit prices
    Text averageUnitPrice;  // unit-price total / count, 3 decimals; empty when there is no deal
    Text lowestUnitPrice;
    Text highestUnitPrice;
    TextArray sortedPrices;      // the work lists in ascending number order
    TextArray sortedUnitPrices;
};

// Statistics of the work-list texts (prices without separators, unit prices before "元"). The sorts
// order the texts exactly as the list-view number sort orders a column holding them.
DealStatistics ComputeDealStatistics(const TextArray& prices, const TextArray& unitPrices);

// The average shown for a unit-price total over `count` deals: rounded half away from zero to three
// places, "%.13g"; empty for no deals.
Text AverageUnitPriceText(std::string_view unitPriceTotal, int count);

// --- Latest-deal query (page 0) ------------------------------------------------------------------------

// 1 once a complete query has copied its list and labels into the saved copies; 0 from the start of
// every query.
extern std::atomic<int> DealResultsSaved;

// Click on 成交量: refuses while a query is busy, else starts QueryLatestDeals on a worker.
void OnQueryDealsClicked(const EventArgs& args);
// The query worker over the controls of `form`.
void QueryLatestDeals(Form form);
// Click on 按钮_恢复查询数据: the saved result of the last complete query back into 成交信息 and the labels.
void OnRestoreDealsClicked(const EventArgs& args);

// --- Date query (page 0) -------------------------------------------------------------------------------

// True when the deal time of a cell ("15-01-07 09:30:00") falls on the month and day of `dateKey`
// ("1-07"): both numbers equal, so 1-07 matches 15-01-07 and never 15-11-07.
bool DealTimeMatchesDateKey(std::string_view dealTime, std::string_view dateKey);

// Click on 按钮_查询指定日期: the saved deals of the day of DateKey into 成交信息, with their statistics.
void OnQueryByDateClicked(const EventArgs& args);
// The statistics of the rows now in 成交信息 into the labels and the status bar.
void ComputeDateStatistics(Form form);

// --- Statistics list (page 1) --------------------------------------------------------------------------

void OnAddStatisticsClicked(const EventArgs& args);
void OnDeleteStatisticsClicked(const EventArgs& args);
void OnClearStatisticsClicked(const EventArgs& args);
void OnStatisticsColumnClick(const EventArgs& args);

// The sort kind (ListViewSortKind) of each column of 统计列表.
int StatisticsColumnSortKind(int column);

// --- Layout and events ---------------------------------------------------------------------------------

// The controls of the deal query, the date query and the statistics list, on pages 0 and 1 of 选择夹1.
void AddDealQueryControls(WindowLayout& layout);
// Their event handlers.
void BindDealQueryEvents(EventTable& events);
