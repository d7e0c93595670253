// Every window of both programs, under the program's own skin, shows the whole of every control it
// shows: each lies inside the client area of every window it sits in, and none lies under the status bar
// of its window.
#include "client/main_window.h"
#include "client/market_window.h"
#include "client/new_game_window.h"
#include "client/program_state.h"
#include "client/rankings.h"
#include "client/total_volume_window.h"
#include "support/pump.h"
#include "support/replica_loopback.h"
#include "support/seam_recorders.h"
#include "updater/window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <set>
#include <sstream>
#include <string>

namespace {

std::optional<LoopbackReply> SameVersionPage(const LoopbackRequest& r)
{
    if (r.Path() == "/NetWork/qelsoft/5173/ver.asp")
        return LoopbackReply::Ok(kProgramVersion);
    return std::nullopt;
}

std::string Describe(const RECT& r)
{
    std::ostringstream out;
    out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
    return out.str();
}

RECT ClientOnScreen(HWND h)
{
    RECT rc;
    GetClientRect(h, &rc);
    MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

bool Contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// What a control lies in, for the messages: the window, a named control or a page of a tab control.
Text Around(HWND parent, HWND top)
{
    if (parent == top)
        return "the window";
    const Text name = ControlNameOf(parent);
    return name.empty() ? "a page of " + ControlNameOf(GetParent(parent)) : name;
}

Form OpenedWindow(const char* title)
{
    for (const Form& f : OpenForms())
        if (f.Title() == title)
            return f;
    return Form();
}

// Checks every shown, named control of `form` as it stands, but those in `outsideOnPurpose` and the
// controls inside them; `where` names the state in messages. Adds the names checked to `seen`.
void ExpectAllShownControlsInside(const Form& form, const std::string& where, std::set<Text>& seen,
                                  const std::set<Text>& outsideOnPurpose = {})
{
    ProcessPendingMessages();
    HWND top = form.Handle();
    ASSERT_NE(top, nullptr) << where;
    std::vector<RECT> statusBars;
    for (const Text& name : form.ControlNames()) {
        const Control c = form.Control(name);
        if (c.Kind() == ControlKind::StatusBar && c.Handle() && IsWindowVisible(c.Handle())) {
            RECT r;
            GetWindowRect(c.Handle(), &r);
            statusBars.push_back(r);
        }
    }
    for (const Text& name : form.ControlNames()) {
        const Control c = form.Control(name);
        HWND h = c.Handle();
        if (!h || !IsWindowVisible(h))
            continue;
        bool exempt = false;
        for (HWND w = h; w && w != top; w = GetParent(w))
            exempt = exempt || outsideOnPurpose.count(ControlNameOf(w));
        if (exempt)
            continue;
        seen.insert(name);
        RECT r;
        GetWindowRect(h, &r);
        for (HWND parent = GetParent(h); parent; parent = GetParent(parent)) {
            const RECT area = ClientOnScreen(parent);
            EXPECT_TRUE(Contains(area, r)) << where << ": " << name << " " << Describe(r) << " outside the client area "
                                           << Describe(area) << " of " << Around(parent, top);
            if (parent == top)
                break;
        }
        // The status bar lies along the bottom over the tab control that fills the window; nothing else
        // may lie under it.
        if (c.Kind() == ControlKind::StatusBar || c.Kind() == ControlKind::TabControl)
            continue;
        for (const RECT& bar : statusBars) {
            RECT both;
            EXPECT_FALSE(IntersectRect(&both, &bar, &r)) << where << ": " << name << " " << Describe(r)
                                                         << " under the status bar " << Describe(bar);
        }
    }
}

void ExpectPagesInside(const Form& form, const char* tab, const std::string& where, std::set<Text>& seen)
{
    const Control pages = form.Control(tab);
    ASSERT_GT(pages.ItemCount(), 0) << where;
    for (int page = 0; page < pages.ItemCount(); ++page) {
        pages.SetSelection(page);
        ExpectAllShownControlsInside(form, where + " page " + std::to_string(page), seen);
    }
}

}  // namespace

TEST(WindowLayout, EveryWindowShowsEachOfItsControlsWhole)
{
    ReplicaLoopback replica(SameVersionPage);
    ASSERT_TRUE(replica.Start());
    seams_test::MessageBoxRecorder boxes;
    seams_test::ProgramStartRecorder starts;
    std::set<Text> seen;

    // The main window attaches the program's skin in its created handler; the other windows are made
    // under it, as in the program.
    Form main = LoadMainWindow();
    ASSERT_TRUE(main.IsOpen());
    // The export panel is shown while a workbook is written.
    main.Control("分组框2").SetVisible(true);
    ExpectPagesInside(main, kMainTab, "main window", seen);

    main.Raise(kShowChartButton, Event::Click);
    ASSERT_TRUE(ChartWindow().IsOpen());
    ExpectAllShownControlsInside(ChartWindow(), "chart window", seen);

    main.Raise(kOpenMarketButton, Event::Click);
    const Form market = MarketWindow();
    ASSERT_TRUE(market.IsOpen());
    // The panel of page buttons lies below the window until its banner is clicked.
    ExpectAllShownControlsInside(market, "market window", seen, {kMarketPanel});
    market.Raise(kMarketOpenBanner, Event::LeftButtonDown);
    ExpectAllShownControlsInside(market, "market window, buttons shown", seen);

    main.Raise(kOpenNewGamesButton, Event::Click);
    const Form newGames = OpenedWindow(kNewGameWindowTitle);
    ASSERT_TRUE(newGames.IsOpen());
    newGames.Control("分组框2").SetVisible(true);
    ExpectAllShownControlsInside(newGames, "new-game window", seen);

    main.Raise(kOpenTotalVolumeButton, Event::Click);
    const Form total = OpenedWindow(kTotalVolumeTitle);
    ASSERT_TRUE(total.IsOpen());
    total.Control("分组框2").SetVisible(true);
    // Its work list is placed beyond the window's right edge, never to be seen.
    ExpectAllShownControlsInside(total, "total-volume window", seen, {"总价_5173计算"});

    // The updater's window, under the same skin, with the closing notice of a release on page 1.
    const Form updaterWindow = LoadForm(updater::UpdaterWindowLayout());
    ASSERT_TRUE(updaterWindow.IsOpen());
    updaterWindow.Control("透明标签1").SetText(
        "Quovanta 已更新到 2.035 版。\r\n勾选“自动运行”后点击“完成更新”即可启动新版本。");
    ExpectPagesInside(updaterWindow, "高级选择夹1", "updater", seen);

    for (const char* name : {"状态条1", "分组框2", "进度条1", "标签39", "超级按钮_监控", "统计列表", "开始更新", "按钮1",
                             "图片框_logo", "透明标签1", "完成", "图片框2", "超级按钮_导出17173", "分组框1",
                             kMarketOpenBanner, kMarketHint})
        EXPECT_TRUE(seen.count(name)) << name << " was never checked";

    for (Form f : OpenForms())
        f.Destroy();
    MainWindow = Form();
    ProcessPendingMessages();
}
