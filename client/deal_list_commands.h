#pragma once
// The commands of the deal list 成交信息 on page 0: the right-button menu 功能 (查看当前订单 opens the
// selected deal in the web browser, 成交信息导出Excel exports the list to a workbook) and sorting by a
// click on a column title, which flips between ascending and descending and keeps the direction in
// the never-shown label 透明标签_排序 ("降": the next click sorts ascending, "升": descending).
#include "client/web_address.h"  // IsWebAddress, shared with the other list commands
#include "runtime/datetime.h"
#include "runtime/forms.h"

#include <string_view>

void OnDealListRightClick(const EventArgs& args);
void OnOpenDealLinkMenu(const EventArgs& args);
void OnExportDealsMenu(const EventArgs& args);
void OnDealListColumnClick(const EventArgs& args);

// How a column of 成交信息 sorts (ListViewSortKind), -1 for 交易地址 and any column past it. The
// price column 价格 sorts as numbers by its value with the thousands separators taken out.
int DealListColumnSortKind(int column);

// The proposed workbook name: "成交量-", the query target with every ">>" made "-",
// "-BrelmorQuovanta" and the date-time text of `now` (made safe for a file name by the command).
Text DealExportFileName(std::string_view queryTarget, DateTime now);
