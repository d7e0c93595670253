#pragma once
// Page 3 "游戏币装备 排行榜 交易行情" of the main window: the weekly trade rankings as the QQ Games ranking
// pages publish them (the week's heading, three top-ten lists, the past weeks and a thumbnail of the
// rank-change chart), and the chart window that shows the chart at full size.
//
// A ranking load reads one page on a worker, cuts everything out of it into locals and writes the
// page's texts in one step on the window thread: the heading, the rows of the three lists, both
// history lists (captions and addresses together), the chart title and ChartPictureAddress. The
// chart picture follows in a second step. Every load takes a turn when it is asked for; only the
// newest load writes, so a slow reply for an earlier week never mixes into the page of a later one.
#include "runtime/forms.h"
#include "runtime/text.h"

#include <functional>
#include <string_view>
#include <vector>

// --- Controls -------------------------------------------------------------------------------------------

inline constexpr char kRankingButton[] = "超级按钮2";
inline constexpr char kWeekHeadingLabel[] = "标签_本周排行";
inline constexpr char kTotalRankingList[] = "超级列表框_总交易额排行榜";
inline constexpr char kCurrencyRankingList[] = "超级列表框_游戏币交易排行榜";
inline constexpr char kEquipmentRankingList[] = "超级列表框_装备交易排行榜";
inline constexpr char kHistoryCaptions[] = "列表框_历史排行_显";
inline constexpr char kHistoryAddresses[] = "列表框_历史排行_隐";
inline constexpr char kHistoryLabel[] = "标签_历史排行";
inline constexpr char kChartTitleLabel[] = "标签_变化图标";
inline constexpr char kChartThumbnail[] = "图片框_变化图缩";
inline constexpr char kShowChartButton[] = "超级按钮_点击查看大图";

// The openers of page 3 (their windows: market quotes, new games, total volume).
inline constexpr char kOpenMarketButton[] = "超级按钮_打开5173交易行情";
inline constexpr char kOpenNewGamesButton[] = "超级按钮_17173交易";
inline constexpr char kOpenTotalVolumeButton[] = "超级按钮_5173总排行";

// Rows of each ranking list: created with the list, never inserted or deleted.
inline constexpr int kRankingRows = 10;

// The image of column 0 of each row, top row first: images 1 to 7, 9, 8 and 0 of the list's image list.
// The image list is built so that the rows read 1 to 10 (RankPictureOfImage).
inline constexpr int kRankRowImages[kRankingRows] = {1, 2, 3, 4, 5, 6, 7, 9, 8, 0};
// The rank shown by image `image` of a ranking list's image list (10, 1, ..., 7, 9, 8).
int RankPictureOfImage(int image);

// --- Pages ----------------------------------------------------------------------------------------------

// The current week: "http://" + the ranking host + "/ntgame/5173/index.htm".
Text CurrentRankingAddress();
// The one page of 2013 that can be read: "http://" + ranking host + "/ntgame/5173/2013rich/1230-0105.htm".
Text Allowed2013RankingAddress();
// True for a past week of 2013 other than that page: its address holds "2013rich" (exactly) and does
// not hold the allowed page's whole address.
bool IsRefused2013Week(std::string_view address);

// Everything a ranking page gives, cut with the page's markers.
struct RankingPage {
    Text weekHeading;
    // One row per entry shown, top row first (at most ten), each row the cells of columns 1 and on:
    std::vector<TextArray> totalRows;      // game
    std::vector<TextArray> currencyRows;   // game, game-currency price
    std::vector<TextArray> equipmentRows;  // item, price without blanks, game
    TextArray historyCaptions;             // past weeks, page order
    TextArray historyAddresses;            // the address of each, at the same index
    Text chartTitle;
    Text chartPictureAddress;
};
RankingPage ParseRankingPage(std::string_view page);

// The entries of a ranking block that are shown: split at every "</li>" (an empty piece after a final
// "</li>" not counted), pieces 2 to 11, never the last counted piece (the tail after the last entry).
TextArray RankingBlockEntries(std::string_view block);
// The entries of the history block: every piece but the last counted one.
TextArray HistoryBlockEntries(std::string_view block);

// --- Chart pictures -------------------------------------------------------------------------------------

// The most bytes a downloaded chart picture may have (a larger reply is no chart).
inline constexpr std::size_t kChartPictureLimit = 4u * 1024u * 1024u;
// The bytes of a chart reply to show: the picture when the reply, of at most kChartPictureLimit bytes,
// holds a whole GIF, JPEG, PNG or BMP file whose header reads (runtime/picture_header.h), without what
// follows its end; else nothing (an empty picture).
ByteSet ChartPictureBytes(const ByteSet& reply);

// --- Main window ----------------------------------------------------------------------------------------

// The controls of page 3 (the ranking lists, history, chart thumbnail and the openers).
void AddRankingControls(WindowLayout& layout);
void BindRankingEvents(EventTable& events);
// Gives each ranking list its rank pictures (the created handler of the main window calls it).
void PrepareRankingLists(const Form& form);

// Click on 超级按钮2: empties the history lists and 标签_历史排行 and loads the current week on a worker.
void OnWeeklyRankingClicked(const EventArgs& args);
// Selection in 列表框_历史排行_显: mirrors it into the hidden list, shows the caption and loads that
// week on a worker (a refused 2013 week shows its message box instead).
void OnPastRankingSelected(const EventArgs& args);
// Writes the texts of a ranking page into the page-3 controls of `form` in one step on the window
// thread, the repainting of the lists held: the heading, the rows of the three lists, both history lists,
// the chart title and ChartPictureAddress. `current`, when given, is asked inside that step; the step
// writes nothing when it says no. True when written (false also when the window is gone).
bool WriteRankingPage(const Form& form, const RankingPage& page, const std::function<bool()>& current = {});
// Starts the load of one ranking page into the page-3 controls of `form` on a worker; the load takes its
// turn at once, so every load asked for earlier writes nothing more. False when no worker could start.
bool StartRankingLoad(const Form& form, const Text& address);

// --- The chart window -----------------------------------------------------------------------------------

inline constexpr char kChartWindowTitle[] = "Tallymate-各产品名次变化图表";
WindowLayout ChartWindowLayout();
// Click on 超级按钮_点击查看大图: opens the chart window (not modal, without an owner); while one is
// open, that window takes the current title and picture and comes to the front.
void OnShowChartClicked(const EventArgs& args);
// The chart window that is open (a closed Form when there is none).
Form ChartWindow();
