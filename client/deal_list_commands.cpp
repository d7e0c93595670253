// The commands of the deal list 成交信息 (see deal_list_commands.h).
#include "client/deal_list_commands.h"

#include "client/deal_query.h"
#include "client/export_command.h"
#include "client/main_window.h"
#include "client/web_address.h"
#include "helpers/listview_sort.h"
#include "runtime/seams.h"

namespace {

constexpr int kPriceColumn = 4;     // 价格
constexpr int kAddressColumn = 7;   // 交易地址
constexpr int kDealColumns = 8;

// The keys of a column are its texts (the prices without their thousands separators), read straight
// from the list; the rows are ordered as SortListViewByColumn orders them.
void SortDeals(const Control& list, int column, bool ascending)
{
    const int kind = DealListColumnSortKind(column);
    HWND h = list.Handle();
    if (kind < 0 || !h)
        return;
    TextArray keys = ListViewColumnTexts(h, column);
    if (column == kPriceColumn) {
        for (Text& key : keys)
            key = PriceNumberText(key);
    }
    SortListViewByKeys(h, keys, kind, true, ascending);
}

}  // namespace

int DealListColumnSortKind(int column)
{
    switch (column) {
    case 0:  // 序号
    case 4:  // 价格
    case 5:  // 单价
        return ListViewSortNumber;
    case 1:  // 商品名称
    case 2:  // 游戏区服
    case 3:  // 商品类型
    case 6:  // 成交时间
        return ListViewSortText;
    default:  // 交易地址
        return -1;
    }
}

Text DealExportFileName(std::string_view queryTarget, DateTime now)
{
    return "成交量-" + ReplaceText(queryTarget, ">>", "-") + "-BrelmorQuovanta" + DateTimeToText(now);
}

void OnDealListRightClick(const EventArgs& args) { args.form->Popup("功能"); }

void OnOpenDealLinkMenu(const EventArgs& args)
{
    Control list = args.form->Control("成交信息");
    const int row = list.Selection();
    if (row < 0)
        return;
    OpenWebAddress(list.Cell(row, kAddressColumn));
}

void OnDealListColumnClick(const EventArgs& args)
{
    Control label = args.form->Control("透明标签_排序");
    const Text direction = label.GetText();
    bool ascending = false;
    if (direction == "降")
        ascending = true;
    else if (direction != "升")
        return;
    SortDeals(args.form->Control("成交信息"), args.column, ascending);
    label.SetText(ascending ? "升" : "降");
}

void OnExportDealsMenu(const EventArgs& args)
{
    const Form& form = *args.form;
    ExcelExportRequest request;
    request.listView = form.Control("成交信息");
    for (int k = 0; k < kDealColumns; ++k)
        request.columns.push_back(k);
    request.sheetName = ExportSheetName();
    request.progressBar = form.Control("进度条1");
    RunExportCommand(form.Control("通用对话框1"), form.Control("分组框2"),
                     DealExportFileName(form.Control("查询目标").GetText(), NowDateTime()), request);
}

void BindDealListCommandEvents(EventTable& events)
{
    events.push_back({"成交信息", Event::RightButton, OnDealListRightClick});
    events.push_back({"成交信息", Event::ColumnClick, OnDealListColumnClick});
    events.push_back({"查看当前订单", Event::Click, OnOpenDealLinkMenu});
    events.push_back({"成交信息导出Excel", Event::Click, OnExportDealsMenu});
}
