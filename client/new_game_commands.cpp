// The commands of NewGameWindow's test list: the menu 测试行情菜单 with the portal's pages of the
// selected game, sorting by a click on a column title, and the export to a workbook.
#include "client/new_game_state.h"
#include "helpers/hosts.h"
#include "helpers/listview_sort.h"
#include "runtime/seams.h"

namespace {

constexpr char kList[] = "新游测试行情";
constexpr char kSortLabel[] = "透明标签_排序";
constexpr char kAscending[] = "升";
constexpr char kDescending[] = "降";

// Whether the shell may be given the text: "http://" or "https://" in any letter case at its start
// and no control character in it.
bool IsPortalWebAddress(std::string_view text)
{
    const Text start = ToLowerAscii(text.substr(0, 8));
    if (start.rfind("http://", 0) != 0 && start.rfind("https://", 0) != 0)
        return false;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// A cell of the first selected row of the list (the empty text when none is selected).
Text SelectedCell(const Form& form, int column)
{
    Control list = form.Control(kList);
    const int row = list.Selection();
    return row < 0 ? Text() : list.Cell(row, column);
}

void OpenIfAny(const Text& address)
{
    if (!address.empty())
        OpenInShell(address);
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

Text NewGameReviewAddress(std::string_view reviewLink)
{
    const Text address = "http://" + NewGameHost() + Text(reviewLink);
    return IsPortalWebAddress(address) ? address : Text();
}

Text NewGameGiftAddress(std::string_view reviewLink)
{
    const Text address = "http://" + GiftHost() + ReplaceText(reviewLink, "game", "sche");
    return IsPortalWebAddress(address) ? address : Text();
}

Text NewGamePortalAddress(std::string_view link)
{
    return IsPortalWebAddress(link) ? Text(link) : Text();
}

Text NewGameExportFileName(DateTime now)
{
    return "17173新游戏测试行情-BrelmorQuovanta" + DateTimeToText(now);
}

void OnNewGameListRightClick(const EventArgs& args) { args.form->Popup("测试行情菜单"); }

void OnOpenReviewPageMenu(const EventArgs& args)
{
    OpenIfAny(NewGameReviewAddress(SelectedCell(*args.form, kNewGameReviewLink)));
}

void OnOpenDeveloperPageMenu(const EventArgs& args)
{
    OpenIfAny(NewGamePortalAddress(SelectedCell(*args.form, kNewGameDeveloperLink)));
}

void OnOpenOperatorPageMenu(const EventArgs& args)
{
    OpenIfAny(NewGamePortalAddress(SelectedCell(*args.form, kNewGameOperatorLink)));
}

void OnOpenGiftPageMenu(const EventArgs& args)
{
    OpenIfAny(NewGameGiftAddress(SelectedCell(*args.form, kNewGameReviewLink)));
}

void OnNewGameListColumnClick(const EventArgs& args)
{
    const Form& form = *args.form;
    Control label = form.Control(kSortLabel);
    // "降" after a descending sort: this click sorts ascending; otherwise ("升") descending. A column
    // that does not sort still turns the direction, so the next click sorts the other way.
    const bool ascending = label.GetText() == kDescending;
    const int kind = NewGameColumnSortKind(args.column);
    if (kind >= 0) {
        if (HWND list = form.Control(kList).Handle())
            SortListViewByColumn(list, args.column, kind, true, ascending);
    }
    label.SetText(ascending ? kAscending : kDescending);
}
