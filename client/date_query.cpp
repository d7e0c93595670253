// The date query of page 0: the deals of the last complete query that fall on the day of DateKey, with
// their own statistics. Nothing is fetched; the saved copy is only read.
#include "client/deal_query.h"

#include "client/deal_results.h"
#include "client/program_state.h"
#include "helpers/listview_sort.h"
#include "runtime/numbers.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"

namespace {

bool AllDigits(std::string_view s)
{
    if (s.empty() || s.size() > 4) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

bool DealTimeMatchesDateKey(std::string_view dealTime, std::string_view dateKey)
{
    // The key: month, "-", day.
    const TextArray key = SplitText(dateKey, "-");
    if (key.size() != 2 || !AllDigits(key[0]) || !AllDigits(key[1])) return false;
    // The cell: year, month and day joined by "-", then the time after a blank.
    const std::size_t blank = dealTime.find(' ');
    const TextArray date = SplitText(dealTime.substr(0, blank), "-");
    if (date.size() != 3 || !AllDigits(date[0]) || !AllDigits(date[1]) || !AllDigits(date[2])) return false;
    return TextToInteger(date[1]) == TextToInteger(key[0]) && TextToInteger(date[2]) == TextToInteger(key[1]);
}

void OnQueryByDateClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    // While a deal query fills 成交信息 the two would write into each other's rows (and the query would
    // save the mixture as its result), so the day has to wait for the query to finish.
    if (DealQueryRunning()) {
        ShowMessageBox("请等成交信息获取完毕后再查找！", "警告", MB_OK);
        return;
    }
    form.Control("状态条1").SetPartText(1, "查询中...");
    Control list = form.Control("成交信息");
    Control work = form.Control("成交信息复制1");
    // The saved deals are filtered in memory; the day's rows, in their saved order, go into the work copy
    // and the deal list in one step.
    std::vector<TextArray> rows = form.Control("成交信息复制").AllRows();
    const Text key = DateKey;
    std::erase_if(rows, [&](const TextArray& row) { return row.size() < 7 || !DealTimeMatchesDateKey(row[6], key); });
    WriteBatch({list, work}, [&] {
        work.SetRows(rows);
        list.SetRows(rows);
    });
    ProcessPendingMessages();
    ComputeDateStatistics(form);
}

void ComputeDateStatistics(Form form)
{
    Control list = form.Control("成交信息");
    Control priceWork = form.Control("总合_隐3");
    Control unitWork = form.Control("单价_隐3");
    priceWork.ClearRows();
    unitWork.ClearRows();
    const int rows = list.RowCount();
    if (rows == 0) {
        ShowMessageBox("无法查询到当前日期交易量！", "警告", MB_OK);
        return;
    }
    const Text countCaption = IntegerToText(rows) + " 笔";
    TextArray prices = list.ColumnCells(4), unitPrices = list.ColumnCells(5);
    for (Text& t : prices) t = PriceNumberText(t);
    for (Text& t : unitPrices) t = UnitPriceNumberText(t);
    const DealStatistics s = ComputeDealStatistics(prices, unitPrices);
    // The work lists hold the day's numbers sorted, as the statistics read them.
    priceWork.SetRows(OneColumnRows(s.sortedPrices));
    unitWork.SetRows(OneColumnRows(s.sortedUnitPrices));
    ProcessPendingMessages();
    ShowDealStatistics(form, countCaption, s);
    form.Control("状态").SetText("查询完毕！");
    Control bar = form.Control("状态条1");
    bar.SetPartText(0, DealSummaryLine(form, countCaption, s.priceTotal));
    bar.SetPartText(1, "查询完毕！");
    bar.SetPartText(2, DateTimeToText(NowDateTime()));
}
