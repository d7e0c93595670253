// The platform's search and listing pages as page 2 reads them (see listing_pages.h).
#include "client/listing_pages.h"

#include "client/page_bounds.h"
#include "helpers/hosts.h"
#include "helpers/text_helpers.h"
#include "runtime/numbers.h"

namespace {

constexpr char kEntryEnd[] = "</dt>";
constexpr char kLinkLeft[] = "href='";
constexpr char kLinkRight[] = "' title";
constexpr char kNameLeft[] = "title='";

constexpr char kOfferBlockLeft[] = "平均发货时间";
constexpr char kOfferBlockRight[] = "<div class=\"pagination\">";
constexpr char kOfferEnd[] = "<span>立即购买</span></a>";
constexpr char kOfferNameLeft[] = "target=\"_blank\" title=\"";
constexpr char kOfferNameRight[] = "\">";
constexpr char kOfferPriceLeft[] = "<strong class=\"text-highlight\">";
constexpr char kOfferPriceRight[] = "</strong>";
constexpr char kOfferUnitLeft[] = "<em>";
constexpr char kOfferUnitRight[] = "</em>";
constexpr char kOfferUnitNumberRight[] = "元";
constexpr char kOfferAddressLeft[] = "<a class=\"til\" href=\"";
constexpr char kOfferAddressRight[] = "\"";
constexpr char kConsignment[] = "detail/JS";
constexpr char kPageCountLeft[] = "ANP_checkInput('pager_txtid',";
constexpr char kPageCountRight[] = ")";

// The pieces of `block` that end at a separator, in order; the text after the last separator is left
// out (it is the rest of the block, not an entry), and so is everything of a block without one.
TextArray PiecesBeforeSeparators(std::string_view block, std::string_view separator)
{
    TextArray pieces = SplitPageRecords(block, separator, false);
    // The split gives one piece more than there are separators (the last one empty when the block
    // ends at a separator): that last one is never an entry. (A page cut at the most records it may
    // give loses its last one here too.)
    if (!pieces.empty()) pieces.pop_back();
    return pieces;
}

PickItems ParseChoices(std::string_view page, std::string_view left, std::string_view right,
                       std::string_view nameRight)
{
    PickItems out;
    const Text block = GetTextBetween(page, left, right);
    for (const Text& piece : PiecesBeforeSeparators(block, kEntryEnd)) {
        out.names.push_back(GetTextBetween(piece, kNameLeft, nameRight));
        out.ids.push_back(GetTextBetween(piece, kLinkLeft, kLinkRight));
    }
    return out;
}

}  // namespace

Text ListingSearchPageUrl(std::string_view gameId) { return "http://" + ListingHost() + "/search/" + Text(gameId) + ".shtml"; }

PickItems ParseGoodsTypeChoices(std::string_view page) { return ParseChoices(page, "sing_filbox", "sing_filbox", "'>"); }
PickItems ParseOperatorChoices(std::string_view page) { return ParseChoices(page, "运营商选择：", "tab_v1_1 v2", "' >"); }
PickItems ParseAreaChoices(std::string_view page) { return ParseChoices(page, "游戏区选择：", "nofound", "' >"); }
PickItems ParseServerChoices(std::string_view page) { return ParseChoices(page, "按服务器选择：", "nofound", "'"); }

bool HasGoodsTypeBlock(std::string_view page) { return !GetTextBetween(page, "sing_filbox", "sing_filbox").empty(); }

bool OffersOperatorChoice(std::string_view page) { return FindText(page, "运营商选择") > 0; }

Text ListingAddressOf(std::string_view serverLink)
{
    const Text host = ListingHost();
    return ReplaceText(serverLink, host, host + "/list");
}

Text ListingPageAddress(std::string_view listingAddress, int page)
{
    return GetTextBetween(listingAddress, "http://", "-0-0-0-0") + "-0-0-0-" + IntegerToText(page) + ".shtml";
}

int ListingPageCount(std::string_view reply) { return TextToInteger(GetTextBetween(reply, kPageCountLeft, kPageCountRight)); }

std::vector<Offer> ParseOffers(std::string_view reply)
{
    std::vector<Offer> offers;
    const Text block = GetTextBetween(reply, kOfferBlockLeft, kOfferBlockRight);
    for (const Text& piece : PiecesBeforeSeparators(block, kOfferEnd)) {
        Offer o;
        o.mode = FindText(piece, kConsignment) > 1 ? "寄" : "保";
        o.name = GetTextBetween(piece, kOfferNameLeft, kOfferNameRight);
        o.price = GetTextBetween(piece, kOfferPriceLeft, kOfferPriceRight);
        o.unitPrice = GetTextBetween(piece, kOfferUnitLeft, kOfferUnitRight);
        o.address = GetTextBetween(piece, kOfferAddressLeft, kOfferAddressRight);
        o.totalNumber = ReplaceText(o.price, ",", "");
        o.unitNumber = GetTextBetween(piece, kOfferUnitLeft, kOfferUnitNumberRight);
        offers.push_back(std::move(o));
    }
    return offers;
}

std::vector<TextArray> OfferRows(const std::vector<Offer>& offers, long long base, std::string_view goodsType)
{
    std::vector<TextArray> rows;
    rows.reserve(offers.size());
    const long long n = static_cast<long long>(offers.size());
    for (long long k = 0; k < n; ++k) {
        const Offer& o = offers[static_cast<std::size_t>(k)];
        rows.push_back({IntegerToText(base + n - k), o.mode, o.name, Text(goodsType), o.price, o.unitPrice, o.address});
    }
    return rows;
}

double TotalPriceNumber(std::string_view text) { return TextToNumberNoCommas(text); }
double UnitPriceNumber(std::string_view text) { return TextToNumber(text); }

MonitorBounds BoundsFromTexts(std::string_view unitBelow, std::string_view unitAbove, std::string_view priceBelow,
                              std::string_view priceAbove)
{
    return {TextToNumber(unitBelow), TextToNumber(unitAbove), TextToNumber(priceBelow), TextToNumber(priceAbove)};
}

bool InsideBounds(double unitPrice, double totalPrice, const MonitorBounds& b)
{
    return NumberLess(unitPrice, b.unitBelow) && NumberGreater(unitPrice, b.unitAbove) &&
           NumberLess(totalPrice, b.priceBelow) && NumberGreater(totalPrice, b.priceAbove);
}

namespace {

struct Interval {
    const char* item;
    int ms;
    bool offered;  // the combo box lists it
};

const Interval kIntervals[] = {
    {"间隔 5 秒监控", 5000, true},     {"间隔 10 秒监控", 10000, true},   {"间隔 15 秒监控", 15000, true},
    {"间隔 20 秒监控", 20000, true},   {"间隔 30 秒监控", 30000, true},   {"间隔 60 秒监控", 60000, false},
    {"间隔 300 秒监控", 300000, true}, {"间隔 600 秒监控", 600000, true},
};

}  // namespace

TextArray MonitorIntervalItems()
{
    TextArray items;
    for (const Interval& i : kIntervals)
        if (i.offered) items.push_back(i.item);
    return items;
}

int MonitorIntervalMs(std::string_view itemText)
{
    for (const Interval& i : kIntervals)
        if (itemText == i.item) return i.ms;
    return 0;
}
