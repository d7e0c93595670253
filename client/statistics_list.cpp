// The statistics list of page 1: one row per added result of page 0, newest first, for comparison.
// It lives as long as the program runs.
#include "client/deal_query.h"

#include "helpers/listview_sort.h"
#include "runtime/numbers.h"
#include "runtime/seams.h"

namespace {

constexpr char kConfirmTitle[] = "Dealvista 提醒您！";

bool Confirmed(std::string_view question)
{
    return ShowMessageBox(question, kConfirmTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES;
}

// The caption up to its first `unit` (the blank before the unit stays); a caption without the unit
// (the "-" of a window that has shown no result yet) is taken whole, as the other columns take theirs.
Text CaptionBeforeUnit(const Text& caption, std::string_view unit)
{
    const int at = FindText(caption, unit);
    return at > 0 ? LeftText(caption, at - 1) : caption;
}

}  // namespace

int StatisticsColumnSortKind(int column)
{
    switch (column) {
    case 1:   // 游戏名/服/区
    case 2:   // 商品类型
        return ListViewSortText;
    case 10:  // 统计时间
        return ListViewSortDateTime;
    default:  // 序号, the amounts and unit prices, 交易笔数, 交易总金额
        return ListViewSortNumber;
    }
}

void OnAddStatisticsClicked(const EventArgs& args)
{
    if (!Confirmed("你确定要将当前信息添加到成交量统计吗？")) return;
    const Form& form = *args.form;
    Control table = form.Control("统计列表");
    Control deals = form.Control("成交信息");
    const int n = table.RowCount();
    TextArray cells;
    cells.push_back(IntegerToText(n + 1));
    cells.push_back(deals.Cell(0, 2));
    cells.push_back(deals.Cell(0, 3));
    for (const char* label : {"标签_最低价", "标签_最高价", "标签_最低单价", "标签_最高单价", "标签_平均单价"})
        cells.push_back(form.Control(label).GetText());
    cells.push_back(CaptionBeforeUnit(form.Control("标签_交易笔数").GetText(), "笔"));
    cells.push_back(CaptionBeforeUnit(form.Control("标签_交易总金额").GetText(), "元"));
    cells.push_back(DateTimeToText(NowDateTime()));
    table.InsertRows(0, {cells});
}

void OnDeleteStatisticsClicked(const EventArgs& args)
{
    if (!Confirmed("你确定 删除当前选项数据吗？")) return;
    Control table = args.form->Control("统计列表");
    const int row = table.Selection();
    if (row >= 0) table.DeleteRow(row);
}

void OnClearStatisticsClicked(const EventArgs& args)
{
    if (!Confirmed("你确定 清空当前统计数据吗？")) return;
    args.form->Control("统计列表").ClearRows();
}

void OnStatisticsColumnClick(const EventArgs& args)
{
    if (args.column < 0) return;
    SortListViewByColumn(args.form->Control("统计列表").Handle(), args.column, StatisticsColumnSortKind(args.column),
                         false, true);
}
