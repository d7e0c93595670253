// The commands of NewGameWindow's test list: the menu 测试行情菜单 with the portal's pages of the
// selected game, sorting by a click on a column title, and the export to a workbook. Addresses go to
// the shell only when they are web addresses; the export takes the road of every export command.
#include "client/export_command.h"
#include "client/list_sorting.h"
#include "client/new_game_state.h"
#include "client/web_address.h"
#include "helpers/hosts.h"
#include "helpers/listview_sort.h"

namespace {

constexpr char kList[] = "新游测试行情";
constexpr char kSortLabel[] = "透明标签_排序";

// A cell of the first selected row of the list (the empty text when none is selected).
Text SelectedCell(const Form& form, int column)
{
    Control list = form.Control(kList);
    const int row = list.Selection();
    return row < 0 ? Text() : list.Cell(row, column);
}

}  // namespace

int NewGameColumnSortKind(int column)
{
    switch (column) {
    case kNewGameNumber:
    case kNewGameVolume:
    case kNewGameDealCount:
        return ListViewSortNumber;
    case kNewGameTestDate:
        return ListViewSortDateTime;
    default:
        return -1;
    }
}

Text NewGameReviewAddress(std::string_view reviewLink) { return "http://" + NewGameHost() + Text(reviewLink); }

Text NewGameGiftAddress(std::string_view reviewLink)
{
    return "http://" + GiftHost() + ReplaceText(reviewLink, "game", "sche");
}

Text NewGameExportFileName(DateTime now)
{
    return "17173新游戏测试行情-BrelmorQuovanta" + DateTimeToText(now);
}

void OnNewGameExportClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    ExcelExportRequest request;
    request.listView = form.Control(kList);
    // The link and id columns stay out.
    request.columns = {kNewGameNumber, kNewGameTestDate, kNewGameName,   kNewGamePhase,    kNewGameCode,
                       kNewGameDeveloper, kNewGameOperator, kNewGameVolume, kNewGameDealCount};
    request.sheetName = ExportSheetName();
    request.progressBar = form.Control("进度条1");
    RunExportCommand(form.Control("通用对话框1"), form.Control("分组框2"), NewGameExportFileName(NowDateTime()),
                     request);
}

void OnNewGameListRightClick(const EventArgs& args) { args.form->Popup("测试行情菜单"); }

void OnOpenReviewPageMenu(const EventArgs& args)
{
    OpenWebAddress(NewGameReviewAddress(SelectedCell(*args.form, kNewGameReviewLink)));
}

void OnOpenDeveloperPageMenu(const EventArgs& args)
{
    OpenWebAddress(SelectedCell(*args.form, kNewGameDeveloperLink));
}

void OnOpenOperatorPageMenu(const EventArgs& args)
{
    OpenWebAddress(SelectedCell(*args.form, kNewGameOperatorLink));
}

void OnOpenGiftPageMenu(const EventArgs& args)
{
    OpenWebAddress(NewGameGiftAddress(SelectedCell(*args.form, kNewGameReviewLink)));
}

void OnNewGameListColumnClick(const EventArgs& args)
{
    const Form& form = *args.form;
    Control label = form.Control(kSortLabel);
    // "降" after a descending sort: this click sorts ascending; otherwise ("升") descending. A column
    // that does not sort still turns the direction, so the next click sorts the other way.
    const bool ascending = label.GetText() == SortDirectionLabel(false);
    const int kind = NewGameColumnSortKind(args.column);
    if (kind >= 0) {
        if (HWND list = form.Control(kList).Handle())
            SortListViewByColumn(list, args.column, kind, true, ascending);
    }
    label.SetText(SortDirectionLabel(ascending));
}
