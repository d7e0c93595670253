// The market-quote window, page 4 (the guest book) and the link buttons of the main window.
#include "client/market_window.h"

#include "client/main_window.h"
#include "client/program_state.h"
#include "client/rankings.h"
#include "helpers/hosts.h"
#include "helpers/message_pump.h"
#include "resources/resources.h"
#include "runtime/seams.h"

#include <string>

namespace {

const MarketButton kMarketButtons[kMarketPageCount] = {
    {"暗黑破坏神3", "/daboluo3.html"},
    {"地下城与勇士", "/dnf.html"},
    {"斗战神", "/douzhanshen.html"},
    {"第九大陆", "/c9.html"},
    {"剑侠情缘Ⅲ", "/jian3.html"},
    {"九阴真经", "/9yin.html"},
    {"剑灵", "/bns.html"},
    {"龙之谷", "/dn.html"},
    {"诺亚传说", "/nuoyachuanshuo.html"},
    {"QQ华夏-游戏币", "/QQhuaxia-youxibi.html"},
    {"QQ华夏-元宝", "/QQhuaxia-yuanbao.html"},
    {"QQ三国", "/QQsanguo.html"},
    {"晴空物语", "/qingkongwuyu.html"},
    {"热血传奇", "/mir2.html"},
    {"圣斗士星矢", "/seiya.html"},
    {"圣王-灵石", "/shengwang-lingshi.html"},
    {"圣王-游戏币", "/shengwang-youxibi.html"},
    {"时空裂痕", "/rift.html"},
    {"蜀门", "/shumen.html"},
    {"颓废之心", "/tuifeizhixin.html"},
    {"新天堂II", "/xintiantang2.html"},
    {"问道-游戏币", "/wendao-youxibi.html"},
    {"问道-元宝", "/wendao-yuanbao.html"},
    {"笑傲江湖", "/xiaoaojianghu.html"},
    {"新天龙八部", "/xintianlongbabu.html"},
    {"轩辕传奇", "/xuanyuanchuanqi.html"},
    {"仙境传说", "/ro.html"},
    {"新寻仙", "/xinxunxian.html"},
    {"仙侠世界", "/xianxiashijie.html"},
    {"寻龙记", "/xunlongji.html"},
    {"御龙在天", "/yulongzaitian.html"},
    {"征途2S", "/zhengtu2.html"},
    {"诛仙2", "/zhuxian2.html"},
};

Form g_marketWindow;  // window thread only

Text ButtonName(int k) { return "超级按钮" + std::to_string(k); }

ByteSet Carried(const unsigned char* data, unsigned size) { return ByteSet(data, data + size); }

// The mouse hook that keeps the browser panes of the window thread from opening their context menu:
// one hook per thread, installed by the first market window and kept for the life of the thread (it
// also serves the browser of page 4). A second install would leave the first hook without anyone
// who could remove it.
void EnsureBrowserMouseHook(HWND browser)
{
    static DWORD hookedThread = 0;
    const DWORD thread = GetWindowThreadProcessId(browser, nullptr);
    if (!thread || (BrowserMouseHookHandle && hookedThread == thread))
        return;
    if (thread != GetCurrentThreadId())
        return;  // a hook of this kind is installed by its own thread
    if (InstallBrowserMouseHook())
        hookedThread = thread;
}

void OnMarketWindowCreated(const EventArgs& args)
{
    Control browser = args.form->Control(kMarketBrowser);
    browser.SetSilent(true);
    EnsureBrowserMouseHook(browser.Handle());
    MarketBaseAddress.Set(MarketBaseAddressNow());
}

// Button k of 1 to 33: the hint goes for good and the browser shows the button's page. The address is
// written on the window thread at the click (the browser loads it in the background), so of two
// quick clicks the later one always wins.
void OnMarketPageButton(const EventArgs& args, int k)
{
    const MarketButton button = MarketButtonOf(k);
    args.form->Control(kMarketHint).SetVisible(false);
    MarketPagePath.Set(button.path);
    args.form->Control(kMarketBrowser).Navigate(MarketBaseAddress.Get() + button.path);
}

void OnMarketBanner1Click(const EventArgs& args)
{
    args.form->Control(kMarketOpenBanner).SetVisible(false);
    args.form->Control(kMarketPanel).Move(0, kMarketPanelOpenTop);
}

void OnMarketBanner2Click(const EventArgs& args)
{
    args.form->Control(kMarketOpenBanner).SetVisible(true);
    args.form->Control(kMarketPanel).Move(0, kMarketPanelClosedTop);
}

}  // namespace

MarketButton MarketButtonOf(int k)
{
    if (k >= 1 && k <= kMarketPageCount)
        return kMarketButtons[k - 1];
    return {"待加入", ""};
}

Text MarketBaseAddressNow() { return "http://" + MakerHost() + "/NetWork/cxweb/hangqing"; }
Text GuestbookAddress() { return "http://" + MakerHost() + "/koushui/index.asp"; }
Text MakerHomeAddress() { return "http://" + MakerHost(); }
Text ManualUpdateAddress() { return "http://" + MakerHost() + "/index.php/archives/category/qelsoft"; }

WindowLayout MarketWindowLayout()
{
    WindowLayout layout;
    layout.title = kMarketWindowTitle;
    layout.bounds = {50, 50, 1000, 608};
    // Later controls lie above earlier ones. 透明标签1 has no part to play: it lies under the browser,
    // where it cannot take the browser's clicks. The hint, the banner and the button panel lie above it.
    layout.Add(ui::TransparentLabel("透明标签1", "", {0, 0, 480, 521}));
    layout.Add(ui::Browser(kMarketBrowser, {0, 0, 995, 550}));
    layout.Add(ui::TransparentLabel(kMarketHint, "请选择您要查询的游戏名！", {300, 150, 400, 80}));
    layout.Add(ui::Label(kMarketOpenBanner, "打开游戏列表", {0, 550, 1000, 30})
                   .Picture(Carried(EmbeddedMarketOpenBanner, EmbeddedMarketOpenBanner_size)));
    layout.Add(ui::GroupBox(kMarketPanel, "", {0, kMarketPanelClosedTop, 1000, 150}));
    layout.Add(ui::Label(kMarketClosePanel, "关闭游戏列表", {0, 0, 1000, 30})
                   .Picture(Carried(EmbeddedMarketCloseBanner, EmbeddedMarketCloseBanner_size))
                   .In(kMarketPanel));
    for (int k = 1; k <= kMarketButtonCount; ++k) {
        const Bounds b{100 * ((k - 1) % 10), 30 + 30 * ((k - 1) / 10), 100, 30};
        layout.Add(ui::SuperButton(ButtonName(k), MarketButtonOf(k).caption, b).In(kMarketPanel));
    }
    return layout;
}

EventTable MarketWindowEvents()
{
    EventTable events = {
        {"", Event::Created, OnMarketWindowCreated},
        {kMarketOpenBanner, Event::LeftButtonDown, OnMarketBanner1Click},
        {kMarketClosePanel, Event::LeftButtonDown, OnMarketBanner2Click},
    };
    // Buttons 34 to 39 have no handler: a click changes nothing.
    for (int k = 1; k <= kMarketPageCount; ++k)
        events.push_back({ButtonName(k), Event::Click, [k](const EventArgs& args) { OnMarketPageButton(args, k); }});
    return events;
}

Form MarketWindow() { return g_marketWindow.IsOpen() ? g_marketWindow : Form(); }

void OnOpenMarketWindowClicked(const EventArgs&)
{
    if (g_marketWindow.IsOpen()) {
        HWND window = g_marketWindow.Handle();
        if (IsIconic(window))
            ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return;
    }
    g_marketWindow = LoadForm(MarketWindowLayout(), MarketWindowEvents());
    // The browser's own window paints after the hint the first time; the hint is painted once more
    // over it (afterwards a transparent label is painted after the windows under it).
    if (HWND window = g_marketWindow.Handle()) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RedrawWindow(g_marketWindow.Control(kMarketHint).Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
}

void OnRefreshGuestbookClicked(const EventArgs& args) { args.form->Control(kGuestbookBrowser).Navigate(GuestbookAddress()); }
void OnVisitWebsiteClicked(const EventArgs&) { OpenInShell(MakerHomeAddress()); }
void OnManualUpdateClicked(const EventArgs&) { OpenInShell(ManualUpdateAddress()); }

void AddGuestbookControls(WindowLayout& layout)
{
    const int page = kPageGuestbook;
    // The spare browser lies under the group box, hidden.
    layout.Add(ui::Browser(kGuestbookSpareBrowser, {10, 4, 970, 506}).In(kMainTab, page).Hide());
    layout.Add(ui::GroupBox(kGuestbookGroup, "留言口水", {10, 4, 970, 506}).In(kMainTab, page));
    ControlSpec guestbook = ui::Browser(kGuestbookBrowser, {8, 18, 954, 480}).In(kGuestbookGroup);
    guestbook.silent = true;
    layout.Add(guestbook);
    layout.Add(ui::SuperButton(kRefreshGuestbookButton, "刷新留言", {10, 516, 120, 30}).In(kMainTab, page));
    layout.Add(ui::SuperButton(kVisitWebsiteButton, "Brelmor网", {140, 516, 120, 30}).In(kMainTab, page));
}

void BindMarketEvents(EventTable& events)
{
    events.push_back({kOpenMarketButton, Event::Click, OnOpenMarketWindowClicked});
    events.push_back({kRefreshGuestbookButton, Event::Click, OnRefreshGuestbookClicked});
    events.push_back({kVisitWebsiteButton, Event::Click, OnVisitWebsiteClicked});
    events.push_back({kManualUpdateButton, Event::Click, OnManualUpdateClicked});
}
