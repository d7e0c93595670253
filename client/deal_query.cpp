// The latest-deal query of page 0: the deal-list page format, the query worker with its statistics, the
// saved copy of a complete result and the restore button.
#include "client/deal_query.h"

#include "client/deal_results.h"
#include "client/page_bounds.h"
#include "client/program_state.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "helpers/listview_sort.h"
#include "helpers/text_helpers.h"
#include "runtime/numbers.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

#include <mutex>

std::atomic<int> DealResultsSaved{0};

// --- The deal-list page --------------------------------------------------------------------------------

namespace {

constexpr char kPageCountLeft[] = "单，共";
constexpr char kPageCountRight[] = "页";
constexpr char kBlockLeft[] = ">成交时间</li>";
constexpr char kBlockRight[] = "<div class=\"pagebox beta\">";
constexpr char kRecordSeparator[] = " </div><div class=\"listmain\"";
constexpr char kNameLeft[] = "_blank\">";
constexpr char kNameRight[] = "</a></li>";
constexpr char kAddressLeft[] = "<a href=\"";
constexpr char kAddressRight[] = "\"";
constexpr char kUnitPriceLeft[] = "<span class=\"orange\">";
constexpr char kUnitPriceRight[] = "</span></li>";
constexpr char kGameServerLeft[] = "<li>游戏/区/服/阵营：";
constexpr char kCellRight[] = "</li>";
// Twelve blanks, the list opening, CR LF, sixteen blanks and the cell opening: 64 bytes in all.
constexpr char kGoodsTypeLeft[] =
    "            <ul class=\"li2\">\r\n                <li class=\"in_ac\">";
static_assert(sizeof kGoodsTypeLeft - 1 == 64);
constexpr char kPriceLeft[] = "<li class=\"orange\">";
constexpr char kPriceRight[] = "元</li>";
constexpr char kDealTimeLeft[] = "<li class=\"in_ac\">20";
constexpr char kFooterLeft[] = "<li class=\"yeshu\">";
constexpr char kFooterRight[] = "页</li>";
constexpr char kDealCountLeft[] = "共 ";
constexpr char kDealCountRight[] = " 单";

}  // namespace

Text DealListPageAddress(std::string_view gameId, std::string_view areaId, std::string_view serverId,
                         std::string_view goodsTypeId, int page)
{
    Text url = "http://" + DealListHost() + "/list/viewlastestdeallist.aspx?ts=-1&offerid=&gm=";
    url += gameId;
    url += "&raceid=-1&ga=";
    url += areaId;
    url += "&gs=";
    url += serverId;
    url += "&bt=";
    url += goodsTypeId;
    url += "&sort=LastRefresh_DESC&section=-1_-1&pg=" + IntegerToText(page) + "&ps=" + IntegerToText(kDealPageSize);
    return url;
}

int DealPageCount(std::string_view reply)
{
    return TextToInteger(RemoveBlanks(GetTextBetween(reply, kPageCountLeft, kPageCountRight)));
}

namespace {

bool HasAnyField(const DealRecord& d)
{
    return !(d.name.empty() && d.address.empty() && d.unitPrice.empty() && d.gameServer.empty() &&
             d.goodsType.empty() && d.price.empty() && d.dealTime.empty());
}

}  // namespace

TextArray SplitDealRecords(std::string_view reply)
{
    TextArray records = SplitPageRecords(GetTextBetween(reply, kBlockLeft, kBlockRight), kRecordSeparator, true);
    // A page without deals still has its table: what stands between the markers then is no deal, and
    // a row for it would count as a deal of price 0 in the statistics.
    std::erase_if(records, [](const Text& r) { return !HasAnyField(ParseDealRecord(r)); });
    return records;
}

DealRecord ParseDealRecord(std::string_view record)
{
    DealRecord d;
    d.name = GetTextBetween(record, kNameLeft, kNameRight);
    d.address = GetTextBetween(record, kAddressLeft, kAddressRight);
    d.unitPrice = GetTextBetween(record, kUnitPriceLeft, kUnitPriceRight);
    d.gameServer = GetTextBetween(record, kGameServerLeft, kCellRight);
    d.goodsType = GetTextBetween(record, kGoodsTypeLeft, kCellRight);
    d.price = GetTextBetween(record, kPriceLeft, kPriceRight);
    d.dealTime = GetTextBetween(record, kDealTimeLeft, kCellRight);
    return d;
}

Text DealCountOfPage(std::string_view reply)
{
    return GetTextBetween(GetTextBetween(reply, kFooterLeft, kFooterRight), kDealCountLeft, kDealCountRight);
}

// --- Statistics ----------------------------------------------------------------------------------------

Text UnitPriceNumberText(std::string_view unitPriceCell)
{
    const int at = FindText(unitPriceCell, "元");
    return at > 0 ? LeftText(unitPriceCell, at - 1) : Text();
}

Text PriceNumberText(std::string_view priceCell) { return ReplaceText(priceCell, ",", ""); }

namespace {

// The texts in the order the list-view number sort gives a column that holds them: each row in turn
// goes in where the search of the sorted keys puts it (FindSortedInsertPosition), numbers equal
// within 1e-7. The numbers are read once and the sorted order is kept as indexes.
TextArray SortedAsNumbers(const TextArray& texts)
{
    const int n = static_cast<int>(texts.size());
    std::vector<double> values(n);
    for (int r = 0; r < n; ++r) values[r] = ListViewSortNumberOf(texts[r]);
    auto compare = [&](int r, int other) {
        const double d = values[r] - values[other];
        return d < -1e-7 ? -1 : d > 1e-7 ? 1 : 0;
    };
    std::vector<int> order;
    order.reserve(n);
    for (int r = 0; r < n; ++r) {
        const int m = static_cast<int>(order.size());
        int at = 0;  // 0-based insert position
        if (m == 0 || compare(r, order[m - 1]) >= 0) {
            at = m;  // a tie with the last key goes after it
        } else if (compare(r, order[0]) <= 0) {
            at = 0;  // a tie with the first key goes before it
        } else {
            int lo = 1, hi = m;  // 1-based, as the search of the sort has it
            while (lo < hi - 1) {
                const int mid = (lo + hi) / 2;
                const int c = compare(r, order[mid - 1]);
                if (c == 0) {
                    lo = mid;
                    break;
                }
                if (c < 0) hi = mid; else lo = mid;
            }
            at = lo;
        }
        order.insert(order.begin() + at, r);
    }
    TextArray sorted;
    sorted.reserve(n);
    for (int r : order) sorted.push_back(texts[r]);
    return sorted;
}

Text TextSum(const TextArray& texts)
{
    Text total;
    for (const Text& t : texts) total = AddToTextSum(total, TextToNumber(t));
    return total;
}

}  // namespace

Text AverageUnitPriceText(std::string_view unitPriceTotal, int count)
{
    // No deal, no average: the label stays empty like the extremes of the empty list.
    if (count <= 0) return Text();
    return NumberToText(RoundHalfAwayFromZero(TextToNumber(unitPriceTotal) / count, 3));
}

DealStatistics ComputeDealStatistics(const TextArray& prices, const TextArray& unitPrices)
{
    DealStatistics s;
    s.priceTotal = TextSum(prices);
    s.sortedPrices = SortedAsNumbers(prices);
    if (!s.sortedPrices.empty()) {
        s.lowestPrice = s.sortedPrices.front();
        s.highestPrice = s.sortedPrices.back();
    }
    s.unitPriceTotal = TextSum(unitPrices);
    s.sortedUnitPrices = SortedAsNumbers(unitPrices);
    s.averageUnitPrice = AverageUnitPriceText(s.unitPriceTotal, static_cast<int>(unitPrices.size()));
    if (!s.sortedUnitPrices.empty()) {
        s.lowestUnitPrice = s.sortedUnitPrices.front();
        s.highestUnitPrice = s.sortedUnitPrices.back();
    }
    return s;
}

// --- Shared by the query, the date query and the restore -----------------------------------------------

std::vector<TextArray> OneColumnRows(const TextArray& texts)
{
    std::vector<TextArray> rows;
    rows.reserve(texts.size());
    for (const Text& t : texts) rows.push_back({t});
    return rows;
}

TextArray SelectedPickNames(const Form& form)
{
    TextArray names;
    for (const char* list : {"游戏列表_游戏名_显", "游戏分区_大区_显", "游戏伺服_服务器_显", "商品类型_类型_显"}) {
        Control c = form.Control(list);
        names.push_back(c.Item(c.Selection()));
    }
    return names;
}

Text DealSummaryLine(const Form& form, std::string_view countCaption, std::string_view priceTotal)
{
    const TextArray n = SelectedPickNames(form);
    Text line = n[0] + " >> " + n[1] + " >> " + n[2] + " >> " + n[3] + "   ";
    line += countCaption;
    line += " 定单     统计交易额为：  ";
    line += priceTotal;
    line += "  元";
    return line;
}

void ShowDealStatistics(const Form& form, std::string_view countCaption, const DealStatistics& s)
{
    form.Control("标签_交易笔数").SetText(countCaption);
    form.Control("标签_最低价").SetText(s.lowestPrice);
    form.Control("标签_最高价").SetText(s.highestPrice);
    form.Control("标签_平均单价").SetText(s.averageUnitPrice);
    form.Control("标签_最低单价").SetText(s.lowestUnitPrice);
    form.Control("标签_最高单价").SetText(s.highestUnitPrice);
    form.Control("标签_交易总金额").SetText(s.priceTotal + " 元");
}


// --- Which query writes ---------------------------------------------------------------------------------

namespace {

// Every query draws a ticket; only the holder of the newest ticket writes the result controls. Claiming
// a ticket and each step of writing happen under one lock, so once a newer query has its ticket no
// write of an older one can follow: the older one finds out at its next step and ends. Writes from a
// worker are carried to the window thread in the order they are made, so what an older query wrote
// before the claim is done before anything the newer one writes. The window thread never takes this
// lock, so a worker may hold it while its control calls wait for the window thread.
std::mutex g_resultsLock;
unsigned g_newestQuery = 0;
std::atomic<bool> g_queryRunning{false};  // the newest query has not ended yet

class QueryTurn {
public:
    // Claims the result controls: step 1 of the query.
    QueryTurn()
    {
        std::lock_guard<std::mutex> guard(g_resultsLock);
        ticket_ = ++g_newestQuery;
        g_queryRunning = true;
        DealQueryBusy = 1;
        DealResultsSaved = 0;
    }

    // However the query ends (out of memory too), the newest one gives the query button back.
    ~QueryTurn()
    {
        std::lock_guard<std::mutex> guard(g_resultsLock);
        if (ticket_ != g_newestQuery) return;
        g_queryRunning = false;
        DealQueryBusy = 0;
    }
    QueryTurn(const QueryTurn&) = delete;
    QueryTurn& operator=(const QueryTurn&) = delete;

    // Runs `write` while this query is still the newest and its window is open; false (and nothing
    // run) once a newer query has started or the window is gone.
    template <class Write>
    bool Step(const Form& form, Write&& write)
    {
        std::lock_guard<std::mutex> guard(g_resultsLock);
        if (ticket_ != g_newestQuery || !form.IsOpen()) return false;
        write();
        return true;
    }

private:
    unsigned ticket_ = 0;
};

struct PageRows {
    TextArray prices;      // the work-list texts of every row read, in the order read (the work lists
                           // 总合_隐 and 单价_隐 get them once, sorted, with the statistics)
    TextArray unitPrices;
};

// Steps 3 and 4 of one page: its records as new rows on top of 成交信息, the page's first record in the
// top row and 序号 counting down from offset + k there; the page is written in one window-thread step.
// The records the run keeps no room for are left out. False when the query has to stop.
bool FillPage(QueryTurn& turn, const Form& form, std::string_view reply, PageRun& run, int offset, PageRows& work,
              int& added)
{
    TextArray pieces = SplitDealRecords(reply);
    run.KeepRecords(pieces);
    const int k = static_cast<int>(pieces.size());
    added = k;
    std::vector<TextArray> rows;
    rows.reserve(pieces.size());
    for (int j = 1; j <= k; ++j) {
        const DealRecord d = ParseDealRecord(pieces[static_cast<std::size_t>(j - 1)]);
        rows.push_back({IntegerToText(offset + k - j + 1), d.name, d.gameServer, d.goodsType, d.price, d.unitPrice,
                        d.dealTime, d.address});
        work.unitPrices.push_back(UnitPriceNumberText(d.unitPrice));
        work.prices.push_back(PriceNumberText(d.price));
    }
    if (k == 0) return turn.Step(form, [] {});
    return turn.Step(form, [&] { form.Control("成交信息").InsertRows(0, rows); });
}

const char* const kResultLabels[] = {"标签_交易笔数", "标签_最高价", "标签_最低价", "标签_平均单价",
                                     "标签_最高单价", "标签_最低单价", "标签_交易总金额"};
const char* const kSavedLabels[] = {"透明标签_量副", "透明标签_高金", "透明标签_低金", "透明标签_平均",
                                    "透明标签_高单", "透明标签_低单", "透明标签_总副"};

}  // namespace

bool DealQueryRunning() { return g_queryRunning.load(); }

// --- The query -----------------------------------------------------------------------------------------

void QueryLatestDeals(Form form)
{
    // Step 1. The result controls are claimed only once a game has been found: a query that stops for
    // want of one must not take them over from a query that is running.
    DealQueryBusy = 1;
    DealResultsSaved = 0;

    Control status = form.Control("状态");
    Control bar = form.Control("状态条1");
    Control list = form.Control("成交信息");

    // Steps 2 to 4.
    Text gameId, areaId, serverId, goodsTypeId;
    bool haveGame = false;
    if (!RunOnWindowThread(list, [&] {
            const TextArray n = SelectedPickNames(form);
            form.Control("查询目标").SetText(n[0] + ">>" + n[1] + ">>" + n[2] + ">>" + n[3]);
            status.SetText("正在查询，请等待.....");
            bar.SetPartText(1, "正在查询，请等待.....");
            auto idOf = [&](const char* hidden, Text& id) {
                Control c = form.Control(hidden);
                const int at = c.Selection();
                if (at < 0) return false;
                id = c.Item(at);
                return true;
            };
            if (!idOf("游戏伺服_服务器_隐", serverId)) serverId = "-1";
            if (!idOf("商品类型_类型_隐", goodsTypeId)) goodsTypeId = "-1";
            haveGame = idOf("游戏列表_游戏名_编号", gameId);
            if (!idOf("游戏分区_大区_隐", areaId)) areaId = "-1";
        }))
        return;
    if (!haveGame) {
        ShowMessageBox("请选择你们要查询的游戏！", "警告", MB_OK);
        // A query that is still running keeps its flag.
        if (!DealQueryRunning()) DealQueryBusy = 0;
        return;
    }
    QueryTurn turn;
    Text reply;
    PageRows work;
    // Steps 9 to 15, also for a query that runs out of memory: what was read is its result.
    const auto finish = [&] {
        const DealStatistics s = ComputeDealStatistics(work.prices, work.unitPrices);
        const Text countCaption = DealCountOfPage(reply) + " 笔";
        const std::vector<TextArray> priceRows = OneColumnRows(s.sortedPrices);
        const std::vector<TextArray> unitPriceRows = OneColumnRows(s.sortedUnitPrices);
        turn.Step(form, [&] {
            RunOnWindowThread(list, [&] {
                // The work lists: one row per deal, sorted as the statistics read them.
                form.Control("总合_隐").SetRows(priceRows);
                form.Control("单价_隐").SetRows(unitPriceRows);
                ShowDealStatistics(form, countCaption, s);
                status.SetText("查询完毕！");
                bar.SetPartText(0, DealSummaryLine(form, countCaption, s.priceTotal));

                // The saved copy for the restore button and the date query.
                Control saved = form.Control("成交信息复制");
                saved.ClearRows();
                AppendListViewRows(list.Handle(), saved.Handle());
                for (std::size_t i = 0; i < std::size(kResultLabels); ++i)
                    form.Control(kSavedLabels[i]).SetText(form.Control(kResultLabels[i]).GetText());
                DealResultsSaved = 1;

                bar.SetPartText(1, "查询完毕！");
                bar.SetPartText(2, DateTimeToText(NowDateTime()));
                DealQueryBusy = 0;
            });
        });
    };
    const RunEnd end([&](bool failed) {
        if (failed) finish();
    });

    // Step 5.
    if (!turn.Step(form, [&] {
            WriteBatch({list}, [&] {
                list.ClearRows();
                form.Control("总合_隐").ClearRows();
                form.Control("单价_隐").ClearRows();
            });
        }))
        return;

    // Steps 6 to 8.
    reply = FetchUrlText(DealListPageAddress(gameId, areaId, serverId, goodsTypeId, 1));
    ProcessPendingMessages();
    if (!turn.Step(form, [] {})) return;
    PageRun run(DealPageCount(reply));
    int offset = 0;
    for (int n = 1; n <= run.Pages(); ++n) {
        if (run.Pages() != 1) reply = FetchUrlText(DealListPageAddress(gameId, areaId, serverId, goodsTypeId, n));
        int added = 0;
        if (!FillPage(turn, form, reply, run, offset, work, added)) return;
        offset += added;
        ProcessPendingMessages();
        WaitMilliseconds(1000);
        if (!run.Continue(added)) break;
    }

    finish();
}

void OnQueryDealsClicked(const EventArgs& args)
{
    if (DealQueryBusy.load() == 1) {
        ShowMessageBox("正在获取交易量中", "警告", MB_OK);
        return;
    }
    Form form = *args.form;
    StartWorker([form] { QueryLatestDeals(form); });
}

void OnRestoreDealsClicked(const EventArgs& args)
{
    if (DealResultsSaved.load() == 0) {
        ShowMessageBox("请等成交信息获取完毕后再查找！", "警告", MB_OK);
        return;
    }
    const Form& form = *args.form;
    Control list = form.Control("成交信息");
    WriteBatch({list}, [&] {
        list.ClearRows();
        AppendListViewRows(form.Control("成交信息复制").Handle(), list.Handle());
    });
    for (std::size_t i = 0; i < std::size(kResultLabels); ++i)
        form.Control(kResultLabels[i]).SetText(form.Control(kSavedLabels[i]).GetText());
    ProcessPendingMessages();
}
