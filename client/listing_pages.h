#pragma once
// The platform's search and listing pages, as page 2 ("5173价格监控") reads them: the choices of the
// pick lists below the game (goods types, operators, areas, servers), each a name with the address of
// the next page; the listing of a server with its page count and its offers; the price bounds and
// intervals of the monitor.
//
// Everything here is plain text work with no controls, so the workers, the tests and the benchmark
// call it alike.
#include "client/pick_lists.h"
#include "runtime/text.h"

#include <string_view>
#include <vector>

// --- The pick lists of page 2 ------------------------------------------------------------------------

// The search page of a game: "http://" + the listing host + "/search/" + game id + ".shtml".
Text ListingSearchPageUrl(std::string_view gameId);

// The choices of one level of the chain, each a name and the address of the page it leads to. A block
// is cut out of the page and split at "</dt>"; every piece before a "</dt>" is a choice (the rest of
// the block after the last one is not). A piece without one of its markers gives an empty name or
// address, which is kept so that names and addresses stay aligned.
//   goods types: the block between the first "sing_filbox" and the next; name "title='" .. "'>"
//   operators:   "运营商选择：" .. "tab_v1_1 v2"; name "title='" .. "' >"
//   areas:       "游戏区选择：" .. "nofound";      name "title='" .. "' >"
//   servers:     "按服务器选择：" .. "nofound";    name "title='" .. "'"
// and every address between "href='" and "' title".
PickItems ParseGoodsTypeChoices(std::string_view page);
PickItems ParseOperatorChoices(std::string_view page);
PickItems ParseAreaChoices(std::string_view page);
PickItems ParseServerChoices(std::string_view page);
// True when the goods-type block of a search page is there (a game without one has no goods on sale).
bool HasGoodsTypeBlock(std::string_view page);
// True when the page of a goods type offers a choice of operator ("运营商选择").
bool OffersOperatorChoice(std::string_view page);

// --- The listing of a server ---------------------------------------------------------------------------

// The listing address of a server's link: every occurrence of the listing host name replaced by the
// host name followed by "/list" (exact, case-sensitive).
Text ListingAddressOf(std::string_view serverLink);
// The address of result page `page` (1 and up) of a listing address: the text strictly between its
// first "http://" and the next "-0-0-0-0", then "-0-0-0-", the page number and ".shtml". It carries
// no scheme: the HTTP client takes the text up to the first "/" as the host.
Text ListingPageAddress(std::string_view listingAddress, int page);
// The page count of a listing reply: the number between "ANP_checkInput('pager_txtid'," and ")";
// 0 without one.
int ListingPageCount(std::string_view reply);

// One offer of a listing page, its texts as the page has them.
struct Offer {
    Text mode;           // 方式: "寄" when the piece holds "detail/JS" after its first byte, else "保"
    Text name;           // 商品名称: between `target="_blank" title="` and `">`
    Text price;          // 价格: between `<strong class="text-highlight">` and "</strong>" ("1,234.00")
    Text unitPrice;      // 单价: between "<em>" and "</em>"
    Text address;        // 交易地址: between `<a class="til" href="` and the next `"`
    Text totalNumber;    // the price without its thousands separators ("1234.00"), for the statistics
    Text unitNumber;     // between "<em>" and "元", for the statistics and the monitor's poll
    bool operator==(const Offer&) const = default;
};

// The offers of a listing page in page order: the block between "平均发货时间" and
// `<div class="pagination">` cut at every "<span>立即购买</span></a>"; each piece before a cut is an
// offer, also when the block ends right at the last cut. A page without the block has none.
std::vector<Offer> ParseOffers(std::string_view reply);

// The rows of the offer list 成交信息1 for one page of offers, in the order they stand in the list:
// row k holds offer k with 序号 base + n - k (n offers), so the page's first offer carries the
// highest number. Cells: 序号, 方式, 商品名称, `goodsType`, 价格, 单价, 交易地址.
std::vector<TextArray> OfferRows(const std::vector<Offer>& offers, long long base, std::string_view goodsType);

// --- The monitor's numbers -------------------------------------------------------------------------------

// A price as a number: its leading decimal number after every "," has been removed ("1,234.00" is
// 1234); 0 without one.
double TotalPriceNumber(std::string_view text);
// A unit price or a bound as a number: its leading decimal number ("12.5</em>" is 12.5); 0 without one.
double UnitPriceNumber(std::string_view text);

// The four bounds of the monitor, each read from its edit box.
struct MonitorBounds {
    double unitBelow = 0;   // 编辑框_单价小于
    double unitAbove = 0;   // 编辑框_单价大于
    double priceBelow = 0;  // 编辑框_价格小于
    double priceAbove = 0;  // 编辑框_价格大于
};
MonitorBounds BoundsFromTexts(std::string_view unitBelow, std::string_view unitAbove, std::string_view priceBelow,
                              std::string_view priceAbove);

// True when unit price and total price lie strictly inside all four bounds: a value within 1e-7 of a
// bound is outside.
bool InsideBounds(double unitPrice, double totalPrice, const MonitorBounds& bounds);

// The items of 组合框_监控时间 and the poll interval in ms of an item text (compared exactly); any other
// text, the empty one included, gives 0.
TextArray MonitorIntervalItems();
int MonitorIntervalMs(std::string_view itemText);
