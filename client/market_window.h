#pragma once
// The market-quote window MarketQuoteWindow ("5173交易行情"): the maker's market-quote pages, one per
// game, in an embedded browser, chosen with a panel of 39 game buttons that slides up from the bottom;
// page 4 "留言口水" of the main window with the guest book; and the buttons that open the maker's site
// in the system browser.
#include "runtime/forms.h"
#include "runtime/text.h"

inline constexpr char kMarketWindowTitle[] = "5173交易行情";
inline constexpr char kMarketBrowser[] = "超文本浏览框_交易行情";
inline constexpr char kMarketHint[] = "透明标签2";
inline constexpr char kMarketOpenBanner[] = "标签1";
inline constexpr char kMarketClosePanel[] = "标签2";
inline constexpr char kMarketPanel[] = "分组框1";
// Tops of the button panel: open (its banner and four rows above the bottom edge) and closed.
inline constexpr int kMarketPanelOpenTop = 430;
inline constexpr int kMarketPanelClosedTop = 580;
// Buttons 超级按钮1 to 超级按钮39; 1 to 33 choose a page, 34 to 39 are places for games to come.
inline constexpr int kMarketButtonCount = 39;
inline constexpr int kMarketPageCount = 33;

// Page 4 of the main window.
inline constexpr char kGuestbookBrowser[] = "超文本浏览框1";
inline constexpr char kGuestbookSpareBrowser[] = "超文本浏览框2";
inline constexpr char kGuestbookGroup[] = "分组框3";
inline constexpr char kRefreshGuestbookButton[] = "超级按钮_刷新留言";
inline constexpr char kVisitWebsiteButton[] = "超级按钮_网站访问";
inline constexpr char kManualUpdateButton[] = "按钮_手动更新";

// The caption and page path of button k (1 to 39); buttons 34 to 39 have the caption "待加入" and no path.
struct MarketButton {
    const char* caption;
    const char* path;
};
MarketButton MarketButtonOf(int k);

// "http://" + the maker's host + "/NetWork/cxweb/hangqing": the base of every market page.
Text MarketBaseAddressNow();
// The guest book, the maker's home page and the page of the program's releases.
Text GuestbookAddress();
Text MakerHomeAddress();
Text ManualUpdateAddress();

WindowLayout MarketWindowLayout();
EventTable MarketWindowEvents();
// The market window that is open (a closed Form when there is none).
Form MarketWindow();

// The controls of page 4 of the main window.
void AddGuestbookControls(WindowLayout& layout);
// The handlers of the main window's opener of the market window and of the link buttons.
void BindMarketEvents(EventTable& events);

// Click on 超级按钮_打开5173交易行情: opens the market window, not modal and without an owner; while it
// is open, brings it to the front.
void OnOpenMarketWindowClicked(const EventArgs& args);
void OnRefreshGuestbookClicked(const EventArgs& args);
void OnVisitWebsiteClicked(const EventArgs& args);
void OnManualUpdateClicked(const EventArgs& args);
