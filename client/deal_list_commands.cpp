// The commands of the deal list 成交信息 (see deal_list_commands.h).
#include "client/deal_list_commands.h"

#include "client/deal_query.h"
#include "client/export_command.h"
#include "client/list_sorting.h"
#include "client/main_window.h"
#include "client/web_address.h"
#include "helpers/listview_sort.h"
#include "runtime/seams.h"

namespace {

constexpr int kPriceColumn = 4;     // 价格
constexpr int kAddressColumn = 7;   // 交易地址
constexpr int kDealColumns = 8;

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
    bool ascending = false;
    if (!SortDirectionFromLabel(label.GetText(), ascending))
        return;
    SortListWithPrices(args.form->Control("成交信息"), args.column, DealListColumnSortKind(args.column), ascending,
                       kPriceColumn);
    label.SetText(SortDirectionLabel(ascending));
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
