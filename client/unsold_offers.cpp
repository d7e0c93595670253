// The offers still for sale on the chosen server (未交易信息): every result page of its listing into the
// offer list 成交信息1 with the price statistics; the list's sort, browser link and export (see
// monitor_page.h).
#include "client/deal_query.h"
#include "client/deal_results.h"
#include "client/export_command.h"
#include "client/list_sorting.h"
#include "client/listing_pages.h"
#include "client/monitor_page.h"
#include "client/page_bounds.h"
#include "client/web_address.h"
#include "helpers/http_client.h"
#include "helpers/listview_colours.h"
#include "helpers/listview_sort.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

namespace {

constexpr char kOfferList[] = "成交信息1";
constexpr int kPriceColumn = 4;
constexpr int kAddressColumn = 6;
constexpr int kOfferColumns = 7;

// The newest claim of the offer list. A step of a writer compares its own ticket with it on the window
// thread, where every write to the list happens, so once a newer writer has claimed the list no step
// of an older one can follow the newer one's writes.
std::atomic<unsigned> g_offerListTicket{0};
std::atomic<int> g_queriesRunning{0};

const char* const kMonitorPickLists[] = {"游戏列表_游戏名_显1", "商品类型_类型_显1", "游戏分区_大区_显1",
                                         "游戏伺服_服务器_显1"};

const char* const kQueryPickMessages[] = {"请选择您要查询的游戏名！", "请选择您要查询的商品类型！",
                                          "请选择您要查询的游戏大区！", "请选择您要查询的游戏服务器！"};

void ShowQueryStatus(const Form& form, std::string_view text)
{
    form.Control("状态").SetText(text);
    form.Control("状态条1").SetPartText(1, text);
}

// Window thread: the statistics of the offers read and the status of a finished query.
void ShowQueryEnd(const Form& form, const TextArray& totals, const TextArray& unitPrices);

}  // namespace

// --- The offer list -----------------------------------------------------------------------------------

unsigned ClaimOfferList() { return ++g_offerListTicket; }

bool OfferListStep(const Form& form, unsigned ticket, const std::function<void()>& write)
{
    bool ran = false;
    RunOnWindowThread(form.Control(kOfferList), [&] {
        if (ticket != g_offerListTicket.load() || !form.IsOpen()) return;
        write();
        ran = true;
    });
    return ran;
}

void EmptyOfferList(const Form& form)
{
    ClaimOfferList();
    form.Control(kOfferList).ClearRows();
}

int MissingMonitorPick(const Form& form)
{
    for (int k = 0; k < 4; ++k)
        if (form.Control(kMonitorPickLists[k]).Selection() < 0) return k;
    return -1;
}

Text MonitorTarget(const Form& form, std::string_view separator)
{
    auto name = [&](const char* list) {
        Control c = form.Control(list);
        return c.Item(c.Selection());
    };
    const Text sep(separator);
    return name(kMonitorPickLists[0]) + sep + name(kMonitorPickLists[2]) + sep + name(kMonitorPickLists[3]) + sep +
           name(kMonitorPickLists[1]);
}

Text ShowOfferStatistics(const Form& form, const TextArray& totals, const TextArray& unitPrices)
{
    const DealStatistics s = ComputeDealStatistics(totals, unitPrices);
    Control totalWork = form.Control("总合_隐1"), unitWork = form.Control("单价_隐1");
    WriteBatch({totalWork, unitWork}, [&] {
        totalWork.SetRows(OneColumnRows(s.sortedPrices));
        unitWork.SetRows(OneColumnRows(s.sortedUnitPrices));
    });
    form.Control("标签_最低价1").SetText(s.lowestPrice);
    form.Control("标签_最高价1").SetText(s.highestPrice);
    form.Control("标签_平均单价1").SetText(s.averageUnitPrice);
    form.Control("标签_最低单价1").SetText(s.lowestUnitPrice);
    form.Control("标签_最高单价1").SetText(s.highestUnitPrice);
    // Page 2's own total: page 0's 标签_交易总金额 belongs to the deal list shown there.
    form.Control("标签_交易总金额1").SetText((s.priceTotal.empty() ? Text("0") : s.priceTotal) + " 元");
    return s.priceTotal;
}

// --- The query ----------------------------------------------------------------------------------------

namespace {

void ShowQueryEnd(const Form& form, const TextArray& totals, const TextArray& unitPrices)
{
    ShowOfferStatistics(form, totals, unitPrices);
    ShowQueryStatus(form, "查询完毕！");
    Control bar = form.Control("状态条1");
    bar.SetPartText(0, MonitorTarget(form, " >> "));
    bar.SetPartText(1, "查询完毕！");
    bar.SetPartText(2, DateTimeToText(NowDateTime()));
}

}  // namespace

bool UnsoldQueryRunning() { return g_queriesRunning.load() > 0; }

void OnQueryUnsoldClicked(const EventArgs& e)
{
    const Form form = *e.form;
    ClearListViewColours();
    const int missing = MissingMonitorPick(form);
    if (missing >= 0) {
        ShowMessageBox(kQueryPickMessages[missing], "警告", MB_ICONEXCLAMATION);
        return;
    }
    if (form.Control("超级按钮_监控").GetText() == "停止监控") {
        ShowMessageBox("正在监控订单中！", "警告", MB_ICONEXCLAMATION);
        return;
    }
    const unsigned ticket = ClaimOfferList();
    ++g_queriesRunning;
    if (!StartWorker([form, ticket] {
            const RunEnd end([](bool) { --g_queriesRunning; });
            QueryUnsoldOrders(form, ticket);
        }))
        --g_queriesRunning;
}

void QueryUnsoldOrders(Form form, unsigned ticket)
{
    Control list = form.Control(kOfferList);
    Text link, goodsType;
    if (!OfferListStep(form, ticket, [&] {
            form.Control("查询目标1").SetText(MonitorTarget(form, ">>"));
            Control types = form.Control("商品类型_类型_显1");
            goodsType = types.Item(types.Selection());
            Control servers = form.Control("游戏伺服_服务器_隐1");
            link = servers.Item(servers.Selection());
            ShowQueryStatus(form, "正在查询，请等待.....");
        }))
        return;

    // The end of the query, also when it ends early out of memory: the list shows what was read, with
    // its statistics, as after the last page.
    long long base = 0;
    TextArray totals, unitPrices;
    bool emptied = false;
    const RunEnd end([&](bool failed) {
        if (!failed) return;
        OfferListStep(form, ticket, [&] {
            if (!emptied) list.ClearRows();
            ShowQueryEnd(form, totals, unitPrices);
        });
    });

    const Text listing = ListingAddressOf(link);
    const Text first = FetchUrlText(listing);
    PageRun run(ListingPageCount(first));
    if (!OfferListStep(form, ticket, [&] {
            WriteBatch({list, form.Control("总合_隐1"), form.Control("单价_隐1")}, [&] {
                list.ClearRows();
                form.Control("总合_隐1").ClearRows();
                form.Control("单价_隐1").ClearRows();
            });
        }))
        return;
    emptied = true;

    // The numbering goes on from the offers read so far, whatever the list shows meanwhile (a column
    // click between two pages reorders it).
    for (int n = 1; n <= run.Pages(); ++n) {
        std::vector<Offer> offers = ParseOffers(FetchUrlText(ListingPageAddress(listing, n)));
        run.KeepRecords(offers);
        const std::vector<TextArray> rows = OfferRows(offers, base, goodsType);
        if (!OfferListStep(form, ticket, [&] {
                if (!rows.empty()) list.InsertRows(0, rows);
            }))
            return;
        base += static_cast<long long>(offers.size());
        for (const Offer& o : offers) {
            totals.push_back(o.totalNumber);
            unitPrices.push_back(o.unitNumber);
        }
        WaitMilliseconds(1000);
        if (!run.Continue(static_cast<int>(offers.size()))) break;
    }

    OfferListStep(form, ticket, [&] { ShowQueryEnd(form, totals, unitPrices); });
}

// --- Sort, link and export ----------------------------------------------------------------------------

int OfferListColumnSortKind(int column)
{
    switch (column) {
    case 0:  // 序号
    case 4:  // 价格
    case 5:  // 单价
        return ListViewSortNumber;
    case 1:  // 方式
    case 2:  // 商品名称
    case 3:  // 商品类型
        return ListViewSortText;
    default:  // 交易地址
        return -1;
    }
}

void OnMonitorListColumnClick(const EventArgs& e)
{
    Control label = e.form->Control("透明标签_排序1");
    bool ascending = false;
    if (!SortDirectionFromLabel(label.GetText(), ascending))
        return;
    // A price sorts by its value, its thousands separators taken out ("1,234.00" after "30.00").
    SortListWithPrices(e.form->Control(kOfferList), e.column, OfferListColumnSortKind(e.column), ascending, kPriceColumn);
    label.SetText(SortDirectionLabel(ascending));
}

void OnMonitorListRightClick(const EventArgs& e) { e.form->Popup("监控功能"); }

Text UnsoldExportFileName(std::string_view queryTarget, DateTime now)
{
    return "未交易订单-" + ReplaceText(queryTarget, ">>", "-") + "-BrelmorQuovanta" + DateTimeToText(now);
}

void OnOpenUnsoldOrderLinkMenu(const EventArgs& e)
{
    Control list = e.form->Control(kOfferList);
    const int row = list.Selection();
    if (row >= 0) OpenWebAddress(list.Cell(row, kAddressColumn));
}

void OnExportUnsoldMenu(const EventArgs& e)
{
    const Form& form = *e.form;
    ExcelExportRequest request;
    request.listView = form.Control(kOfferList);
    for (int k = 0; k < kOfferColumns; ++k) request.columns.push_back(k);
    request.sheetName = ExportSheetName();
    request.progressBar = form.Control("进度条1");
    RunExportCommand(form.Control("通用对话框1"), form.Control("分组框2"),
                     UnsoldExportFileName(form.Control("查询目标1").GetText(), NowDateTime()), request);
}
