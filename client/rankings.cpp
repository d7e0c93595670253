// The weekly rankings of page 3: cutting a ranking page, the loads of the current and of a past week,
// the rank pictures of the three lists and the page's layout.
#include "client/rankings.h"

#include "client/main_window.h"
#include "client/newest_picture.h"
#include "client/page_bounds.h"
#include "client/program_state.h"
#include "helpers/hosts.h"
#include "helpers/http_client.h"
#include "helpers/text_helpers.h"
#include "resources/resources.h"
#include "runtime/picture_header.h"
#include "runtime/seams.h"
#include "runtime/window_thread.h"
#include "runtime/workers.h"

namespace {

// The turns of the ranking loads: the texts are written only by the newest load (checked on the
// window thread, where the loads are asked for), the thumbnail likewise.
NewestPicture g_rankingTurns;

constexpr char kRefused2013Text[] = "抱歉，2013年数据无法查询！";
constexpr char kRefused2013Title[] = "Tallymate 提醒您！";

// The pieces of a block split at every "</li>", an empty piece after a final "</li>" not counted; no
// more than a list holds (and the tail after them).
TextArray EntryPieces(std::string_view block) { return SplitBoundedRecords(block, "</li>", true, kMaxListRows + 1); }

Text GameOfEntry(std::string_view entry)
{
    return ReplaceText(GetTextBetween(entry, "blank\">", "</div>"), "</a>", " ");
}

// Window thread: the cells of columns 1 and on of rows 0, 1, ... of a ranking list (rows the page
// has no entry for keep what they show).
void WriteRankingRows(const Control& list, const std::vector<TextArray>& rows)
{
    for (std::size_t r = 0; r < rows.size() && r < static_cast<std::size_t>(kRankingRows); ++r)
        for (std::size_t k = 0; k < rows[r].size(); ++k)
            list.SetCell(static_cast<int>(r), static_cast<int>(k) + 1, rows[r][k]);
}

// The worker of one load: fetches the page, writes its texts, then fetches and shows the chart.
void RunRankingLoad(const Form& form, const Text& address, unsigned turn)
{
    const Text reply = FetchUrlText(address);
    const RankingPage page = ParseRankingPage(reply);
    if (!WriteRankingPage(form, page, [turn] { return g_rankingTurns.IsNewest(turn); }))
        return;  // a later load owns the page, or the window is gone
    ByteSet chart;
    if (!page.chartPictureAddress.empty())
        chart = ChartPictureBytes(FetchUrlBytes(page.chartPictureAddress));
    g_rankingTurns.Set(turn, form.Control(kChartThumbnail), chart);
}

// The rank pictures, in image-list order.
std::vector<ByteSet> RankPictures()
{
    const unsigned char* const data[] = {EmbeddedRankPicture1, EmbeddedRankPicture2, EmbeddedRankPicture3,
                                         EmbeddedRankPicture4, EmbeddedRankPicture5, EmbeddedRankPicture6,
                                         EmbeddedRankPicture7, EmbeddedRankPicture8, EmbeddedRankPicture9,
                                         EmbeddedRankPicture10};
    const unsigned sizes[] = {EmbeddedRankPicture1_size, EmbeddedRankPicture2_size, EmbeddedRankPicture3_size,
                              EmbeddedRankPicture4_size, EmbeddedRankPicture5_size, EmbeddedRankPicture6_size,
                              EmbeddedRankPicture7_size, EmbeddedRankPicture8_size, EmbeddedRankPicture9_size,
                              EmbeddedRankPicture10_size};
    std::vector<ByteSet> pictures;
    for (int image = 0; image < kRankingRows; ++image) {
        const int rank = RankPictureOfImage(image);
        pictures.emplace_back(data[rank - 1], data[rank - 1] + sizes[rank - 1]);
    }
    return pictures;
}

}  // namespace

int RankPictureOfImage(int image)
{
    static const int kRanks[kRankingRows] = {10, 1, 2, 3, 4, 5, 6, 7, 9, 8};
    return image >= 0 && image < kRankingRows ? kRanks[image] : 0;
}

// --- Pages ----------------------------------------------------------------------------------------------

Text CurrentRankingAddress() { return "http://" + RankingHost() + "/ntgame/5173/index.htm"; }

Text Allowed2013RankingAddress() { return "http://" + RankingHost() + "/ntgame/5173/2013rich/1230-0105.htm"; }

bool IsRefused2013Week(std::string_view address)
{
    return address.find("2013rich") != std::string_view::npos &&
           address.find(Allowed2013RankingAddress()) == std::string_view::npos;
}

TextArray RankingBlockEntries(std::string_view block)
{
    const TextArray pieces = EntryPieces(block);
    TextArray entries;
    // Piece p (1-based, 2 to 11) fills row p - 2; the last counted piece is the tail.
    for (std::size_t p = 2; p <= 11 && p + 1 <= pieces.size(); ++p)
        entries.push_back(pieces[p - 1]);
    return entries;
}

TextArray HistoryBlockEntries(std::string_view block)
{
    TextArray pieces = EntryPieces(block);
    if (!pieces.empty())
        pieces.pop_back();
    return pieces;
}

RankingPage ParseRankingPage(std::string_view page)
{
    RankingPage out;
    out.weekHeading = GetTextBetween(page, "本周排行", "</div>");

    for (const Text& entry : RankingBlockEntries(GetTextBetween(page, "总交易额排行榜", "<div class=\"ranking gc\">")))
        out.totalRows.push_back({GameOfEntry(entry)});
    for (const Text& entry :
         RankingBlockEntries(GetTextBetween(page, "游戏币交易排行榜(含重复物品)", "<div class=\"ranking gc el\">")))
        out.currencyRows.push_back({GameOfEntry(entry), GetTextBetween(entry, "gct_m\">", "</div>")});
    for (const Text& entry :
         RankingBlockEntries(GetTextBetween(page, "装备交易排行榜(含重复物品)", "<div class=\"rtw erl\">")))
        out.equipmentRows.push_back({GetTextBetween(entry, "r_right\">", "</div>"),
                                     RemoveBlanks(GetTextBetween(entry, "gct_m\">", "</div>")),
                                     GetTextBetween(entry, "ng\">", "</div>")});

    for (const Text& entry : HistoryBlockEntries(GetTextBetween(page, "往期回顾", "</ul>"))) {
        out.historyAddresses.push_back(GetTextBetween(entry, "href=\"", "\""));
        out.historyCaptions.push_back(GetTextBetween(entry, "blank\">", "</a>"));
    }

    // The title stands after the last title division of the page.
    out.chartTitle = GetTextBetween(page, "<div class=\"rtw_t\">", "各产品名次变化图表", 0, 0, 1);
    out.chartPictureAddress = GetTextBetween(GetTextBetween(page, "曲线", "<div class=\"review\">"), "src=\"", "\"");
    return out;
}

// --- Chart pictures -------------------------------------------------------------------------------------

ByteSet ChartPictureBytes(const ByteSet& reply)
{
    if (reply.empty() || reply.size() > kChartPictureLimit)
        return {};
    // A picture whose header holds and whose own end has arrived; what follows that end is dropped.
    const std::optional<PictureHeader> header = ReadPictureHeader(reply);
    if (!header || header->length == 0)
        return {};
    return ByteSet(reply.begin(), reply.begin() + static_cast<long>(header->length));
}

// --- Loads ----------------------------------------------------------------------------------------------

bool WriteRankingPage(const Form& form, const RankingPage& page, const std::function<bool()>& current)
{
    Control total = form.Control(kTotalRankingList), currency = form.Control(kCurrencyRankingList),
            equipment = form.Control(kEquipmentRankingList), captions = form.Control(kHistoryCaptions),
            addresses = form.Control(kHistoryAddresses);
    bool written = false;
    WriteBatch({total, currency, equipment, captions, addresses}, [&] {
        if (current && !current())
            return;
        form.Control(kWeekHeadingLabel).SetText(page.weekHeading);
        WriteRankingRows(total, page.totalRows);
        WriteRankingRows(currency, page.currencyRows);
        WriteRankingRows(equipment, page.equipmentRows);
        // Captions and addresses go together, so each caption always stands beside its own address.
        captions.SetItems(page.historyCaptions);
        addresses.SetItems(page.historyAddresses);
        form.Control(kChartTitleLabel).SetText(page.chartTitle);
        ChartPictureAddress.Set(page.chartPictureAddress);
        written = true;
    });
    return written;
}

bool StartRankingLoad(const Form& form, const Text& address)
{
    const unsigned turn = g_rankingTurns.Ask();
    return StartWorker([form, address, turn] { RunRankingLoad(form, address, turn); });
}

void OnWeeklyRankingClicked(const EventArgs& args)
{
    const Form& form = *args.form;
    WriteBatch({form.Control(kHistoryCaptions), form.Control(kHistoryAddresses)}, [&] {
        form.Control(kHistoryCaptions).ClearItems();
        form.Control(kHistoryAddresses).ClearItems();
        form.Control(kHistoryLabel).SetText("");
    });
    StartRankingLoad(form, CurrentRankingAddress());
}

void OnPastRankingSelected(const EventArgs& args)
{
    const Form& form = *args.form;
    Control captions = form.Control(kHistoryCaptions), addresses = form.Control(kHistoryAddresses);
    const int index = captions.Selection();
    addresses.SetSelection(index);
    form.Control(kHistoryLabel).SetText(captions.Item(index));
    const Text address = addresses.Item(index);
    if (index < 0)
        return;
    if (IsRefused2013Week(address)) {
        ShowMessageBox(kRefused2013Text, kRefused2013Title, MB_OK);
        return;
    }
    StartRankingLoad(form, address);
}

// --- Main window ----------------------------------------------------------------------------------------

void PrepareRankingLists(const Form& form)
{
    HIMAGELIST pictures = MakeImageList(16, 16, RankPictures());
    bool first = true;
    for (const char* name : {kTotalRankingList, kCurrencyRankingList, kEquipmentRankingList}) {
        Control list = form.Control(name);
        // Each list owns its image list.
        list.SetImageList(first ? pictures : ImageList_Duplicate(pictures));
        first = false;
        for (int row = 0; row < kRankingRows; ++row)
            list.SetRowImage(row, kRankRowImages[row]);
    }
}

void AddRankingControls(WindowLayout& layout)
{
    const int page = kPageRankings;
    auto on = [&](ControlSpec spec) { layout.Add(std::move(spec.In(kMainTab, page))); };

    on(ui::SuperButton(kRankingButton, "获取最近一周排行榜信息", {12, 8, 190, 30}));
    on(ui::Label("标签_本周排行题", "本周排行", {216, 15, 56, 18}));
    on(ui::Label(kWeekHeadingLabel, "", {272, 15, 420, 18}));

    on(ui::Label("标签_总交易额排行榜题", "总交易额排行榜", {12, 48, 196, 18}));
    on(ui::ListView(kTotalRankingList, {12, 68, 196, 200}, {{"排名", 38}, {"游戏名称", 150}}, kRankingRows));
    on(ui::Label("标签_游戏币交易排行榜题", "游戏币交易排行榜", {224, 48, 270, 18}));
    on(ui::ListView(kCurrencyRankingList, {224, 68, 270, 200}, {{"排名", 38}, {"游戏名称", 120}, {"游戏币价格", 100}},
                    kRankingRows));
    on(ui::Label("标签_装备交易排行榜题", "装备交易排行榜", {510, 48, 430, 18}));
    on(ui::ListView(kEquipmentRankingList, {510, 68, 430, 200},
                    {{"排名", 38}, {"装备名称", 180}, {"人民币价格", 80}, {"游戏名称", 120}}, kRankingRows));

    on(ui::Label("标签_历史排行题", "历史排行", {12, 284, 56, 18}));
    on(ui::Label(kHistoryLabel, "", {68, 284, 200, 18}));
    const Bounds history{12, 302, 256, 242};
    on(ui::ListBox(kHistoryCaptions, history));
    on(ui::ListBox(kHistoryAddresses, history).Hide());

    on(ui::Label("标签_变化图标题", "各产品名次变化图表", {284, 284, 126, 18}));
    on(ui::Label(kChartTitleLabel, "", {412, 284, 290, 18}));
    ControlSpec thumbnail = ui::PictureBox(kChartThumbnail, {284, 322, 380, 160});
    thumbnail.stretch = true;  // the chart is larger than its thumbnail
    on(thumbnail);
    // The caption stands in a column: six characters with an empty line between each two.
    on(ui::SuperButton(kShowChartButton, "点\r\n\r\n击\r\n\r\n查\r\n\r\n看\r\n\r\n大\r\n\r\n图", {668, 302, 34, 200}));

    // The openers of the market-quote, new-game and total-volume windows.
    on(ui::SuperButton(kOpenMarketButton, "5173游戏币行情", {720, 302, 220, 60}));
    on(ui::SuperButton(kOpenNewGamesButton, "17173新游戏交易量", {720, 372, 220, 60}));
    on(ui::SuperButton(kOpenTotalVolumeButton, "5173游戏总交易量", {720, 442, 220, 60}));
}

void BindRankingEvents(EventTable& events)
{
    events.push_back({kRankingButton, Event::Click, OnWeeklyRankingClicked});
    events.push_back({kHistoryCaptions, Event::SelectionChanged, OnPastRankingSelected});
    events.push_back({kShowChartButton, Event::Click, OnShowChartClicked});
}
