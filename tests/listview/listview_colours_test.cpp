#include <gtest/gtest.h>

#include "helpers/listview_colours.h"
#include "helpers/listview_sort.h"
#include "listview/listview_fixture.h"

using listview_test::kParentAnswer;
using listview_test::ListViewWindow;
using listview_test::ParentProc;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kOwnText = RGB(10, 20, 30);
constexpr COLORREF kOwnBack = RGB(250, 240, 230);

WNDPROC ProcOf(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)); }

// The table is one per process: every test leaves it empty and unsubclassed.
class ListViewColours : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        ClearListViewColours();
        if (!ListViewColourTable::Instance().Entries().empty()) {
            ListViewWindow scratch(1);
            SetListViewCellColour(scratch.parent(), scratch.list(), 0, 0, kRed);
            ClearListViewColours();
        }
    }
    static std::vector<CellColour> Entries() { return ListViewColourTable::Instance().Entries(); }

    // A list view with its own colours set, so that "own colours" are known values.
    static void OwnColours(const ListViewWindow& view)
    {
        SendMessageA(view.list(), LVM_SETTEXTCOLOR, 0, kOwnText);
        SendMessageA(view.list(), LVM_SETTEXTBKCOLOR, 0, kOwnBack);
    }
};

TEST_F(ListViewColours, EntriesOnePerCellLaterColoursWin)
{
    ListViewWindow view(3);
    OwnColours(view);
    SetListViewCellColour(view.parent(), view.list(), 1, 2, kRed, kYellow);
    SetListViewCellColour(view.parent(), view.list(), 0, 0, kBlue, kGreen);
    SetListViewCellColour(view.parent(), view.list(), 1, 2, kGreen, kBlue);  // the same cell again
    SetListViewCellColour(view.parent(), view.list(), 2, 1, kRed);           // back colour omitted
    EXPECT_EQ(Entries(), (std::vector<CellColour>{{1, 2, kGreen, kBlue}, {0, 0, kBlue, kGreen}, {2, 1, kRed, kOwnBack}}));
    EXPECT_EQ(ListViewColourTable::Instance().ListView(), view.list());
    EXPECT_EQ(ListViewColourTable::Instance().ParentWindow(), view.parent());
}

TEST_F(ListViewColours, OwnColoursRemoveAnEntryAndAddNone)
{
    ListViewWindow view(3);
    OwnColours(view);
    SetListViewCellColour(view.parent(), view.list(), 0, 1, kRed, kYellow);
    SetListViewCellColour(view.parent(), view.list(), 1, 1, kRed, kYellow);
    SetListViewCellColour(view.parent(), view.list(), 2, 1, kRed, kYellow);
    SetListViewCellColour(view.parent(), view.list(), 1, 1, kOwnText, kOwnBack);  // removed, the rest move up
    SetListViewCellColour(view.parent(), view.list(), 5, 0, kOwnText);            // no entry, none added
    SetListViewCellColour(view.parent(), view.list(), 6, 0, kOwnText, kRed);      // only one colour is its own
    EXPECT_EQ(Entries(), (std::vector<CellColour>{{0, 1, kRed, kYellow}, {2, 1, kRed, kYellow}, {6, 0, kOwnText, kRed}}));
}

TEST_F(ListViewColours, ParentSubclassedOnceUntilCleared)
{
    ListViewWindow view(2);
    auto& table = ListViewColourTable::Instance();
    for (int r = 0; r < 4; ++r) SetListViewCellColour(view.parent(), view.list(), r, 0, kRed, kYellow);
    EXPECT_TRUE(table.Subclassed());
    EXPECT_EQ(ProcOf(view.parent()), &ListViewColourWindowProc);
    EXPECT_EQ(table.PreviousWindowProc(), &ParentProc);  // never chained to itself

    view.ResetCounts();
    ClearListViewColours();
    EXPECT_FALSE(table.Subclassed());
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(ProcOf(view.parent()), &ParentProc);
    EXPECT_GT(view.Received(WM_SHOWWINDOW), 0);  // repainted by hiding and showing
    EXPECT_TRUE(GetWindowLongA(view.list(), GWL_STYLE) & WS_VISIBLE);

    SetListViewCellColour(view.parent(), view.list(), 0, 1, kRed, kYellow);
    EXPECT_TRUE(table.Subclassed());
    EXPECT_EQ(ProcOf(view.parent()), &ListViewColourWindowProc);
    EXPECT_EQ(table.PreviousWindowProc(), &ParentProc);
}

TEST_F(ListViewColours, ClearWithoutColouringDoesNothing)
{
    ListViewWindow view(2);
    view.ResetCounts();
    ClearListViewColours();
    EXPECT_EQ(view.Received(WM_SHOWWINDOW), 0);
    EXPECT_FALSE(ListViewColourTable::Instance().Subclassed());
    EXPECT_EQ(ProcOf(view.parent()), &ParentProc);
}

TEST_F(ListViewColours, CustomDrawAnswers)
{
    ListViewWindow view(3), other(1);
    OwnColours(view);
    SetListViewCellColour(view.parent(), view.list(), 1, 2, kRed, kYellow);
    constexpr COLORREF kBefore = RGB(1, 2, 3);
    const struct {
        const char* what;
        bool fromList;
        DWORD stage;
        int row, column;
        LRESULT answer;
        COLORREF text, back;
        bool passedOn;
    } cases[] = {
        {"prepaint", true, CDDS_PREPAINT, 0, 0, CDRF_NOTIFYITEMDRAW, kBefore, kBefore, false},
        {"item prepaint", true, CDDS_ITEMPREPAINT, 1, 0, CDRF_NOTIFYITEMDRAW, kBefore, kBefore, false},
        {"coloured cell", true, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1, 2, kParentAnswer, kRed, kYellow, true},
        {"same row, other column", true, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1, 1, kParentAnswer, RGB(0, 0, 0), kOwnBack, true},
        {"other row, same column", true, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 2, 2, kParentAnswer, RGB(0, 0, 0), kOwnBack, true},
        {"post paint", true, CDDS_POSTPAINT, 1, 2, kParentAnswer, kBefore, kBefore, true},
        {"another control", false, CDDS_PREPAINT, 0, 0, kParentAnswer, kBefore, kBefore, true},
        {"another control's cell", false, CDDS_ITEMPREPAINT | CDDS_SUBITEM, 1, 2, kParentAnswer, kBefore, kBefore, true},
    };
    for (const auto& c : cases) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = c.fromList ? view.list() : other.list();
        draw.nmcd.hdr.idFrom = listview_test::kMadeUpId;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = c.stage;
        draw.nmcd.dwItemSpec = c.row;
        draw.iSubItem = c.column;
        draw.clrText = draw.clrTextBk = kBefore;
        draw.clrFace = RGB(9, 9, 9);
        listview_test::parentNotifications = 0;
        const LRESULT answer = SendMessageA(view.parent(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
        EXPECT_EQ(answer, c.answer) << c.what;
        EXPECT_EQ(draw.clrText, c.text) << c.what;
        EXPECT_EQ(draw.clrTextBk, c.back) << c.what;
        EXPECT_EQ(draw.clrFace, RGB(9, 9, 9)) << c.what;
        EXPECT_EQ(listview_test::parentNotifications.load(), c.passedOn ? 1 : 0) << c.what;
    }
    // Other messages reach the parent's own procedure.
    SetWindowTextA(view.parent(), "new title");
    char title[32] = {};
    GetWindowTextA(view.parent(), title, sizeof title);
    EXPECT_STREQ(title, "new title");
}

// The colours the parent's procedure gives the list view for one cell, as the list view asks
// for them while it paints.
struct Answer {
    COLORREF text, back;
    friend bool operator==(const Answer&, const Answer&) = default;
};
Answer AskCellColours(HWND parent, HWND list, int row, int column)
{
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list;
    draw.nmcd.hdr.idFrom = listview_test::kMadeUpId;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    draw.nmcd.dwItemSpec = row;
    draw.iSubItem = column;
    SendMessageA(parent, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    return {draw.clrText, draw.clrTextBk};
}

// Whether this process can draw into memory bitmaps. The Wine 8.0 WoW64 mode gives 32-bit programs
// no memory device contexts (CreateCompatibleDC fails): the pixel checks are skipped there.
bool CanDrawIntoBitmaps()
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    DeleteDC(dc);
    return true;
}

// The colour a cell is painted with, from the list view printed into a bitmap.
COLORREF PaintedBackground(HWND list, int row, int column)
{
    RECT client;
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    RECT cell{};
    cell.top = column;
    cell.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    SendMessageA(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    const COLORREF pixel = GetPixel(dc, cell.right - 3, (cell.top + cell.bottom) / 2);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(list, screen);
    return pixel;
}

constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST_F(ListViewColours, ColoursStayAtTheirPositionsAfterASort)
{
    ListViewWindow view(2);
    SendMessageA(view.list(), LVM_SETTEXTBKCOLOR, 0, kWhite);
    view.AddRows({{"3", "丙"}, {"1", "甲"}, {"2", "乙"}});
    SetListViewCellColour(view.parent(), view.list(), 1, 1, kRed, kYellow);
    EXPECT_EQ(AskCellColours(view.parent(), view.list(), 1, 1), (Answer{kRed, kYellow}));

    SortListViewByColumn(view.list(), 0);
    EXPECT_EQ(view.Cell(1, 1), "乙");  // the data moved, the colour did not
    EXPECT_EQ(Entries(), (std::vector<CellColour>{{1, 1, kRed, kYellow}}));
    EXPECT_EQ(AskCellColours(view.parent(), view.list(), 1, 1), (Answer{kRed, kYellow}));
    EXPECT_EQ(AskCellColours(view.parent(), view.list(), 0, 1), (Answer{RGB(0, 0, 0), kWhite}));
    EXPECT_EQ(AskCellColours(view.parent(), view.list(), 2, 1), (Answer{RGB(0, 0, 0), kWhite}));
}

TEST_F(ListViewColours, PaintedColoursStayAtTheirPositionsAfterASort)
{
    if (!CanDrawIntoBitmaps()) GTEST_SKIP() << "no memory device contexts in this Wine (32-bit GDI)";
    ListViewWindow view(2);
    SendMessageA(view.list(), LVM_SETBKCOLOR, 0, kWhite);
    SendMessageA(view.list(), LVM_SETTEXTBKCOLOR, 0, kWhite);
    view.AddRows({{"3", "丙"}, {"1", "甲"}, {"2", "乙"}});
    SetListViewCellColour(view.parent(), view.list(), 1, 1, kRed, kYellow);
    listview_test::Pump();
    EXPECT_EQ(PaintedBackground(view.list(), 1, 1), kYellow);
    EXPECT_EQ(PaintedBackground(view.list(), 0, 1), kWhite);
    EXPECT_EQ(PaintedBackground(view.list(), 1, 0), kWhite);

    SortListViewByColumn(view.list(), 0);
    EXPECT_EQ(view.Cell(1, 1), "乙");
    EXPECT_EQ(PaintedBackground(view.list(), 1, 1), kYellow);
    EXPECT_EQ(PaintedBackground(view.list(), 0, 1), kWhite);
}

TEST_F(ListViewColours, ClosingTheParentKeepsEntriesForTheNextSubclassing)
{
    auto& table = ListViewColourTable::Instance();
    {
        ListViewWindow first(2);
        SetListViewCellColour(first.parent(), first.list(), 0, 1, kRed, kYellow);
        SendMessageA(first.parent(), WM_CLOSE, 0, 0);  // the parent's own procedure destroys it
        EXPECT_FALSE(IsWindow(first.parent()));
        EXPECT_FALSE(table.Subclassed());
        ClearListViewColours();  // not subclassed: does nothing, the entry stays
        EXPECT_EQ(Entries().size(), 1u);
    }
    ListViewWindow second(2);
    SetListViewCellColour(second.parent(), second.list(), 1, 0, kBlue, kGreen);
    EXPECT_TRUE(table.Subclassed());
    EXPECT_EQ(ProcOf(second.parent()), &ListViewColourWindowProc);
    EXPECT_EQ(Entries(), (std::vector<CellColour>{{0, 1, kRed, kYellow}, {1, 0, kBlue, kGreen}}));
    DestroyWindow(second.parent());
    EXPECT_FALSE(table.Subclassed());
}

LRESULT CALLBACK OtherParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(ParentProc, window, message, wParam, lParam);
}

TEST_F(ListViewColours, ANewParentTakesOverTheSubclassing)
{
    ListViewWindow first(2), second(2);
    SetWindowLongPtrA(second.parent(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OtherParentProc));
    SetListViewCellColour(first.parent(), first.list(), 0, 0, kRed, kYellow);
    SetListViewCellColour(second.parent(), second.list(), 0, 1, kRed, kYellow);
    EXPECT_EQ(ProcOf(first.parent()), &ParentProc);
    EXPECT_EQ(ProcOf(second.parent()), &ListViewColourWindowProc);
    ClearListViewColours();
    EXPECT_EQ(ProcOf(second.parent()), &OtherParentProc);
    EXPECT_EQ(ProcOf(first.parent()), &ParentProc);
}

TEST_F(ListViewColours, HiddenListViewStaysHidden)
{
    ListViewWindow view(2);
    ShowWindow(view.list(), SW_HIDE);
    SetListViewCellColour(view.parent(), view.list(), 0, 0, kRed, kYellow);
    ClearListViewColours();
    EXPECT_FALSE(GetWindowLongA(view.list(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(ListViewColours, WorkerColoursWhileTheWindowThreadPaints)
{
    ListViewWindow view(3);
    SendMessageA(view.list(), LVM_SETTEXTBKCOLOR, 0, kWhite);
    for (int r = 0; r < 40; ++r) view.AddRow({std::to_string(r), "x", "y"});
    const bool pixels = CanDrawIntoBitmaps();
    SetListViewCellColour(view.parent(), view.list(), 40, 0, kBlue, kGreen);  // subclassed from the start
    int asked = 0, torn = 0;
    listview_test::RunOnWorker(
        [&] {
            for (int round = 0; round < 5; ++round)
                for (int r = 0; r < 40; ++r)
                    SetListViewCellColour(view.parent(), view.list(), r, r % 3, RGB(r, round, 0), RGB(0, r, round));
        },
        [&] {
            // The window thread answers paints meanwhile: every answer is a whole entry or none.
            for (int r = 0; r < 40; ++r) {
                const Answer a = AskCellColours(view.parent(), view.list(), r, r % 3);
                const bool none = a == Answer{RGB(0, 0, 0), kWhite};
                const bool whole = GetRValue(a.text) == r && GetGValue(a.back) == r && GetGValue(a.text) == GetBValue(a.back);
                if (!none && !whole) ++torn;
                ++asked;
            }
            if (pixels) PaintedBackground(view.list(), 0, 0);
        });
    EXPECT_GT(asked, 0);
    EXPECT_EQ(torn, 0);
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 41u);
    EXPECT_EQ(entries[0], (CellColour{40, 0, kBlue, kGreen}));
    for (int r = 0; r < 40; ++r) EXPECT_EQ(entries[r + 1], (CellColour{r, r % 3, RGB(r, 4, 0), RGB(0, r, 4)}));
    EXPECT_EQ(ProcOf(view.parent()), &ListViewColourWindowProc);
    EXPECT_EQ(AskCellColours(view.parent(), view.list(), 4, 1), (Answer{RGB(4, 4, 0), RGB(0, 4, 4)}));
    if (pixels) {
        EXPECT_EQ(PaintedBackground(view.list(), 4, 1), RGB(0, 4, 4));
    }
}

}  // namespace
