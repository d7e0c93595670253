// The market-quote window, the guest book of page 4, the link buttons, the browser right-click filter
// as the market window installs it, and the layout of pages 3 and 4.
#include "rankings/pages_fixture.h"
#include "helpers/http_client.h"
#include "helpers/message_pump.h"
#include "support/seam_recorders.h"

#include <string>
#include <vector>

namespace {

// The page paths of buttons 1 to 33 as the maker publishes them.
const char* const kPaths[] = {
    "/daboluo3.html",          "/dnf.html",           "/douzhanshen.html",       "/c9.html",
    "/jian3.html",             "/9yin.html",          "/bns.html",               "/dn.html",
    "/nuoyachuanshuo.html",    "/QQhuaxia-youxibi.html", "/QQhuaxia-yuanbao.html", "/QQsanguo.html",
    "/qingkongwuyu.html",      "/mir2.html",          "/seiya.html",             "/shengwang-lingshi.html",
    "/shengwang-youxibi.html", "/rift.html",          "/shumen.html",            "/tuifeizhixin.html",
    "/xintiantang2.html",      "/wendao-youxibi.html", "/wendao-yuanbao.html",   "/xiaoaojianghu.html",
    "/xintianlongbabu.html",   "/xuanyuanchuanqi.html", "/ro.html",              "/xinxunxian.html",
    "/xianxiashijie.html",     "/xunlongji.html",     "/yulongzaitian.html",     "/zhengtu2.html",
    "/zhuxian2.html",
};

// Mouse-button messages that reached the stand-ins of the browser's inner window.
std::vector<UINT> g_buttons;
LRESULT CALLBACK StandInProc(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    if (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK)
        g_buttons.push_back(message);
    return DefWindowProcA(hwnd, message, w, l);
}

// A window of the browser's inner class (the engine is missing here, so the real one never comes)
// inside a browser control's host window.
HWND StandInPane(HWND host, const char* className = "Internet Explorer_Server")
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    HWND pane = CreateWindowA(className, "", WS_CHILD | WS_VISIBLE, 10, 10, 120, 120, host, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    // Above the window of the WebBrowser control that the host may hold (without an engine it draws
    // nothing, but it is there).
    SetWindowPos(pane, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return pane;
}

// A real right click in the middle of `window`: true when its release arrived there.
bool RightReleaseArrives(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PumpFor(60);
    g_buttons.clear();
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, click, sizeof(INPUT));
    PumpUntil([] {
        for (UINT m : g_buttons)
            if (m == WM_RBUTTONDOWN)
                return true;
        return false;
    }, 2000);
    PumpFor(150);
    for (UINT m : g_buttons)
        if (m == WM_RBUTTONUP)
            return true;
    return false;
}

// The place of a window among its siblings, 0 on top.
int ZPlace(HWND window)
{
    int place = 0;
    for (HWND w = GetWindow(GetParent(window), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT), ++place)
        if (w == window)
            return place;
    return -1;
}

class MarketTest : public PagesTest {
protected:
    void Open()
    {
        form.Raise(kOpenMarketButton, Event::Click);
        market = MarketWindow();
        ASSERT_TRUE(market.IsOpen());
    }
    Control M(const std::string& name) const { return market.Control(name); }
    void Click(const Control& button) const { SendMessageA(button.Handle(), BM_CLICK, 0, 0); }

    Form market;
};

TEST_F(MarketTest, WindowAndItsPanel)
{
    Open();
    EXPECT_EQ(market.Title(), "5173交易行情");
    RECT frame, area;
    GetWindowRect(market.Handle(), &frame);
    GetClientRect(market.Handle(), &area);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(area.right, 1000);
    EXPECT_EQ(area.bottom, 608);
    EXPECT_EQ(GetWindow(market.Handle(), GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));

    EXPECT_EQ(M(kMarketBrowser).GetBounds(), (Bounds{0, 0, 995, 550}));
    EXPECT_EQ(M(kMarketBrowser).Address(), "");
    EXPECT_EQ(M(kMarketHint).GetText(), "请选择您要查询的游戏名！");
    EXPECT_EQ(M(kMarketHint).GetBounds(), (Bounds{300, 150, 400, 80}));
    EXPECT_TRUE(M(kMarketHint).Visible());
    EXPECT_EQ(M("透明标签1").GetBounds(), (Bounds{0, 0, 480, 521}));
    EXPECT_EQ(M(kMarketOpenBanner).GetText(), "打开游戏列表");
    EXPECT_EQ(M(kMarketOpenBanner).GetBounds(), (Bounds{0, 550, 1000, 30}));
    EXPECT_EQ(M(kMarketClosePanel).GetText(), "关闭游戏列表");
    EXPECT_EQ(M(kMarketClosePanel).GetBounds(), (Bounds{0, 0, 1000, 30}));
    for (const char* banner : {kMarketOpenBanner, kMarketClosePanel}) {
        EXPECT_TRUE(M(banner).HasPicture()) << banner;
        EXPECT_EQ(M(banner).PictureSize().cx, 1000);
        EXPECT_EQ(M(banner).PictureSize().cy, 30);
    }
    EXPECT_EQ(M(kMarketPanel).GetBounds(), (Bounds{0, 580, 1000, 150}));
    EXPECT_EQ(GetParent(M(kMarketClosePanel).Handle()), M(kMarketPanel).Handle());
    for (int k = 1; k <= kMarketButtonCount; ++k) {
        Control button = M("超级按钮" + std::to_string(k));
        EXPECT_EQ(GetParent(button.Handle()), M(kMarketPanel).Handle()) << k;
        EXPECT_EQ(button.GetBounds(), (Bounds{100 * ((k - 1) % 10), 30 + 30 * ((k - 1) / 10), 100, 30})) << k;
        if (k > kMarketPageCount)
            EXPECT_EQ(button.GetText(), "待加入");
    }
    EXPECT_EQ(M("超级按钮1").GetText(), "暗黑破坏神3");
    EXPECT_EQ(M("超级按钮18").GetText(), "时空裂痕");
    EXPECT_EQ(M("超级按钮33").GetText(), "诛仙2");

    // The hint and the panel lie over the browser; the label without a role lies under it.
    const int browser = ZPlace(M(kMarketBrowser).Handle());
    EXPECT_LT(ZPlace(M(kMarketHint).Handle()), browser);
    EXPECT_LT(ZPlace(M(kMarketPanel).Handle()), browser);
    EXPECT_GT(ZPlace(M("透明标签1").Handle()), browser);

    // The banners slide the panel up and down.
    SendMessageA(M(kMarketOpenBanner).Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    EXPECT_EQ(M(kMarketPanel).GetBounds().top, 430);
    EXPECT_EQ(M(kMarketPanel).GetBounds().left, 0);
    EXPECT_FALSE(M(kMarketOpenBanner).Visible());
    SendMessageA(M(kMarketClosePanel).Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    EXPECT_EQ(M(kMarketPanel).GetBounds().top, 580);
    EXPECT_TRUE(M(kMarketOpenBanner).Visible());

    // A second click of the opener brings the same window forward.
    const int windows = OpenFormCount();
    form.Raise(kOpenMarketButton, Event::Click);
    EXPECT_EQ(MarketWindow(), market);
    EXPECT_EQ(OpenFormCount(), windows);
}

TEST_F(MarketTest, PageButtonsNavigateToTheirPages)
{
    Open();
    const std::string base = Url("/NetWork/cxweb/hangqing");
    EXPECT_EQ(MarketBaseAddress.Get(), base);
    // Buttons 34 to 39 change nothing.
    for (int k = kMarketPageCount + 1; k <= kMarketButtonCount; ++k)
        Click(M("超级按钮" + std::to_string(k)));
    EXPECT_EQ(M(kMarketBrowser).Address(), "");
    EXPECT_TRUE(M(kMarketHint).Visible());

    for (int k = 1; k <= kMarketPageCount; ++k) {
        Click(M("超级按钮" + std::to_string(k)));
        const Text address = M(kMarketBrowser).Address();
        EXPECT_EQ(address, base + kPaths[k - 1]) << k;
        EXPECT_EQ(MarketPagePath.Get(), kPaths[k - 1]);
        EXPECT_FALSE(M(kMarketHint).Visible());
        // The replica has the page, in GBK, with the game's name.
        const Text page = FetchUrlText(address);
        EXPECT_NE(page.find(M("超级按钮" + std::to_string(k)).GetText()), Text::npos) << address;
    }
    for (int k = kMarketPageCount + 1; k <= kMarketButtonCount; ++k)
        Click(M("超级按钮" + std::to_string(k)));
    EXPECT_EQ(M(kMarketBrowser).Address(), base + "/zhuxian2.html");
    EXPECT_FALSE(M(kMarketHint).Visible());

    // Two quick clicks: the later one wins.
    Click(M("超级按钮18"));
    Click(M("超级按钮2"));
    PumpFor(100);
    EXPECT_EQ(M(kMarketBrowser).Address(), base + "/dnf.html");
}

TEST_F(MarketTest, RightReleaseSwallowedInBrowserPanesOnceTheWindowHasOpened)
{
    Open();
    const HHOOK hook = BrowserMouseHookHandle;
    ASSERT_NE(hook, nullptr);
    SetForegroundWindow(market.Handle());
    HWND pane = StandInPane(M(kMarketBrowser).Handle());
    HWND other = StandInPane(M(kMarketBrowser).Handle(), "QuovantaOtherPane");
    ASSERT_TRUE(pane && other);
    SetWindowPos(other, HWND_TOP, 200, 10, 120, 120, 0);

    SetFocus(pane);
    EXPECT_FALSE(RightReleaseArrives(pane));
    EXPECT_FALSE(RightReleaseArrives(other));  // anywhere, while a browser pane has the focus
    SetFocus(other);
    EXPECT_TRUE(RightReleaseArrives(pane));

    // Closed and opened again: still the one hook, which behaves the same.
    market.Destroy();
    Open();
    EXPECT_EQ(BrowserMouseHookHandle, hook);
    SetForegroundWindow(market.Handle());
    pane = StandInPane(M(kMarketBrowser).Handle());
    SetFocus(pane);
    EXPECT_FALSE(RightReleaseArrives(pane));

    // The hook outlives the window: the browser of page 4 keeps its menu closed too.
    market.Destroy();
    C(kMainTab).SetSelection(kPageGuestbook);
    SetForegroundWindow(form.Handle());
    HWND guestbook = StandInPane(H(kGuestbookBrowser));
    SetFocus(guestbook);
    EXPECT_FALSE(RightReleaseArrives(guestbook));
    EXPECT_EQ(BrowserMouseHookHandle, hook);
}

TEST_F(MarketTest, GuestBookAndLinks)
{
    seams_test::ShellOpenRecorder shell;
    Click(C(kRefreshGuestbookButton));
    EXPECT_EQ(C(kGuestbookBrowser).Address(), Url("/koushui/index.asp"));
    EXPECT_TRUE(shell.Calls().empty());
    Click(C(kVisitWebsiteButton));
    Click(C(kManualUpdateButton));
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[0].address, "http://" + host_);
    EXPECT_EQ(shell.Calls()[1].address, Url("/index.php/archives/category/qelsoft"));
    // The replica has the three pages.
    EXPECT_NE(FetchUrlText(Url("/koushui/index.asp")).find("留言口水"), Text::npos);
    EXPECT_NE(FetchUrlText("http://" + host_).find("Brelmor网"), Text::npos);
    EXPECT_NE(FetchUrlText(Url("/index.php/archives/category/qelsoft")).find("Quovanta"), Text::npos);
    EXPECT_EQ(C(kGuestbookSpareBrowser).Address(), "");
    EXPECT_FALSE(C(kGuestbookSpareBrowser).Visible());
}

// Every control of pages 3 and 4 is on its page, inside it, and no two shown controls overlap.
TEST_F(MarketTest, LayoutOfPagesThreeAndFour)
{
    const struct {
        int page;
        std::vector<const char*> names;
    } pages[] = {
        {kPageRankings,
         {kRankingButton, kWeekHeadingLabel, kTotalRankingList, kCurrencyRankingList, kEquipmentRankingList,
          kHistoryCaptions, kHistoryAddresses, kHistoryLabel, kChartTitleLabel, kChartThumbnail, kShowChartButton,
          kOpenMarketButton, kOpenNewGamesButton, kOpenTotalVolumeButton}},
        {kPageGuestbook, {kGuestbookGroup, kGuestbookSpareBrowser, kRefreshGuestbookButton, kVisitWebsiteButton}},
    };
    for (const auto& p : pages) {
        C(kMainTab).SetSelection(p.page);
        HWND pageWindow = GetParent(H(p.names[0]));
        RECT area, status;
        GetClientRect(pageWindow, &area);
        GetWindowRect(H("状态条1"), &status);
        for (const char* name : p.names) {
            EXPECT_EQ(GetParent(H(name)), pageWindow) << name;
            const Bounds b = C(name).GetBounds();
            EXPECT_GE(b.left, 0) << name;
            EXPECT_GE(b.top, 0) << name;
            EXPECT_LE(b.left + b.width, area.right) << name;
            EXPECT_LE(b.top + b.height, area.bottom) << name;
            RECT r;
            GetWindowRect(H(name), &r);
            EXPECT_LE(r.bottom, status.top) << name;  // clear of the status bar
        }
        std::vector<HWND> shown;
        for (HWND w = GetWindow(pageWindow, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (IsWindowVisible(w))
                shown.push_back(w);
        for (std::size_t i = 0; i < shown.size(); ++i)
            for (std::size_t j = i + 1; j < shown.size(); ++j) {
                RECT a, b, both;
                GetWindowRect(shown[i], &a);
                GetWindowRect(shown[j], &b);
                EXPECT_FALSE(IntersectRect(&both, &a, &b)) << ControlNameOf(shown[i]) << " / " << ControlNameOf(shown[j]);
            }
    }
    EXPECT_FALSE(C(kHistoryAddresses).Visible());
    EXPECT_EQ(GetParent(H(kGuestbookBrowser)), H(kGuestbookGroup));
    EXPECT_EQ(C(kGuestbookGroup).GetText(), "留言口水");

    const struct {
        const char* name;
        const char* caption;
    } captions[] = {
        {kRankingButton, "获取最近一周排行榜信息"},
        {kOpenMarketButton, "5173游戏币行情"},
        {kOpenNewGamesButton, "17173新游戏交易量"},
        {kOpenTotalVolumeButton, "5173游戏总交易量"},
        {kRefreshGuestbookButton, "刷新留言"},
        {kVisitWebsiteButton, "Brelmor网"},
        {kShowChartButton, "点\r\n\r\n击\r\n\r\n查\r\n\r\n看\r\n\r\n大\r\n\r\n图"},
        {"标签_本周排行题", "本周排行"},
        {"标签_历史排行题", "历史排行"},
        {"标签_变化图标题", "各产品名次变化图表"},
    };
    for (const auto& c : captions)
        EXPECT_EQ(C(c.name).GetText(), c.caption) << c.name;
    EXPECT_EQ(C(kChartThumbnail).GetBounds().width, 380);
    EXPECT_EQ(C(kChartThumbnail).GetBounds().height, 160);
    const struct {
        const char* list;
        std::vector<std::pair<const char*, int>> columns;
    } lists[] = {
        {kTotalRankingList, {{"排名", 38}, {"游戏名称", 150}}},
        {kCurrencyRankingList, {{"排名", 38}, {"游戏名称", 120}, {"游戏币价格", 100}}},
        {kEquipmentRankingList, {{"排名", 38}, {"装备名称", 180}, {"人民币价格", 80}, {"游戏名称", 120}}},
    };
    for (const auto& l : lists) {
        ASSERT_EQ(C(l.list).ColumnCount(), static_cast<int>(l.columns.size())) << l.list;
        for (std::size_t k = 0; k < l.columns.size(); ++k) {
            EXPECT_EQ(C(l.list).ColumnTitle(static_cast<int>(k)), l.columns[k].first);
            EXPECT_EQ(C(l.list).ColumnWidth(static_cast<int>(k)), l.columns[k].second);
        }
    }
}

}  // namespace
