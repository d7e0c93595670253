// The weekly rankings of page 3 and the chart window against the replica's ranking pages.
#include "rankings/pages_fixture.h"
#include "replica/ranking_pages.h"
#include "support/seam_recorders.h"

#include <commctrl.h>

#include <atomic>

namespace {

const char kCurrentHeading[] = " 2015年1月12日-1月18日";
const char kCurrentTitle[] = "2015年第3周";

int RowImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

class RankingsTest : public PagesTest {
protected:
    // Loads the current week and waits for its chart.
    void LoadCurrentWeek()
    {
        const int charts = Requests("/ntgame/5173/chart/0112-0118.gif");
        form.Raise(kRankingButton, Event::Click);
        ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/0112-0118.gif") == charts + 1; }, 10000));
        ASSERT_TRUE(PumpUntil([&] { return C(kChartThumbnail).HasPicture(); }, 10000));
        ASSERT_EQ(C(kChartTitleLabel).GetText(), kCurrentTitle);
    }

    // Chooses past week `index` in the history list, as the user does.
    void ChoosePastWeek(int index)
    {
        C(kHistoryCaptions).SetSelection(index);
        form.Raise(kHistoryCaptions, Event::SelectionChanged);
    }

    // The history captions and addresses, checked to stand side by side as the page lists them.
    void ExpectHistoryOfTheReplica()
    {
        const auto& weeks = replica::RankingWeeks();
        ASSERT_EQ(C(kHistoryCaptions).ItemCount(), static_cast<int>(weeks.size()) - 1);
        ASSERT_EQ(C(kHistoryAddresses).ItemCount(), static_cast<int>(weeks.size()) - 1);
        for (std::size_t k = 1; k < weeks.size(); ++k) {
            EXPECT_EQ(C(kHistoryCaptions).Item(static_cast<int>(k - 1)), weeks[k].heading.substr(1));
            EXPECT_EQ(C(kHistoryAddresses).Item(static_cast<int>(k - 1)), Url(weeks[k].path));
        }
    }
};

TEST_F(RankingsTest, CurrentWeekFillsThePage)
{
    // Before any load: ten empty rows with their rank pictures reading 1 to 10.
    for (const char* name : {kTotalRankingList, kCurrencyRankingList, kEquipmentRankingList}) {
        HWND list = H(name);
        EXPECT_EQ(C(name).RowCount(), kRankingRows) << name;
        ASSERT_NE(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0) << name;
        EXPECT_EQ(ImageList_GetImageCount(reinterpret_cast<HIMAGELIST>(SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0))),
                  kRankingRows);
        for (int row = 0; row < kRankingRows; ++row) {
            EXPECT_EQ(RowImage(list, row), kRankRowImages[row]) << name << " row " << row;
            EXPECT_EQ(C(name).Cell(row, 0), "");
        }
    }

    LoadCurrentWeek();
    EXPECT_EQ(C(kWeekHeadingLabel).GetText(), kCurrentHeading);
    const RankingPage page = ParseRankingPage(replica::RankingPageHtml(replica::RankingWeeks().front(), host_));
    const struct {
        const char* list;
        const std::vector<TextArray>* rows;
    } lists[] = {{kTotalRankingList, &page.totalRows},
                 {kCurrencyRankingList, &page.currencyRows},
                 {kEquipmentRankingList, &page.equipmentRows}};
    for (const auto& l : lists) {
        ASSERT_EQ(C(l.list).RowCount(), kRankingRows) << l.list;  // never more rows
        for (int row = 0; row < kRankingRows; ++row) {
            TextArray cells = C(l.list).RowCells(row);
            EXPECT_EQ(cells[0], "");  // the picture column has no text
            cells.erase(cells.begin());
            EXPECT_EQ(cells, (*l.rows)[static_cast<std::size_t>(row)]) << l.list << " row " << row;
            EXPECT_EQ(RowImage(H(l.list), row), kRankRowImages[row]);
        }
    }
    EXPECT_EQ(C(kTotalRankingList).Cell(0, 1), "地下城与勇士 ");
    EXPECT_EQ(C(kEquipmentRankingList).Cell(0, 2), "12800元");
    ExpectHistoryOfTheReplica();
    EXPECT_EQ(C(kHistoryLabel).GetText(), "");
    EXPECT_EQ(ChartPictureAddress.Get(), Url("/ntgame/5173/chart/0112-0118.gif"));
    EXPECT_EQ(C(kChartThumbnail).PictureSize().cx, 760);
    EXPECT_EQ(C(kChartThumbnail).PictureSize().cy, 320);
    EXPECT_EQ(Requests("/ntgame/5173/index.htm"), 1);
    EXPECT_EQ(Requests("/ntgame/5173/chart/0112-0118.gif"), 1);
}

TEST_F(RankingsTest, PastWeeksAndTheWeeksOf2013)
{
    LoadCurrentWeek();
    seams_test::MessageBoxRecorder boxes;

    ChoosePastWeek(0);
    EXPECT_EQ(C(kHistoryLabel).GetText(), "2015年1月5日-1月11日");
    EXPECT_EQ(C(kHistoryAddresses).Selection(), 0);
    ASSERT_TRUE(PumpUntil([&] { return ChartPictureAddress.Get() == Url("/ntgame/5173/chart/0105-0111.gif"); }, 10000));
    EXPECT_EQ(C(kWeekHeadingLabel).GetText(), " 2015年1月5日-1月11日");
    EXPECT_EQ(C(kChartTitleLabel).GetText(), "2015年第2周");
    ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/0105-0111.gif") == 1; }));
    ExpectHistoryOfTheReplica();  // replaced by the past page's own history
    EXPECT_EQ(C(kHistoryLabel).GetText(), "2015年1月5日-1月11日");

    // A week of 2013 other than 1230-0105: refused, nothing fetched, nothing else changed.
    const Text total = C(kTotalRankingList).Cell(0, 1);
    ChoosePastWeek(4);
    ASSERT_EQ(boxes.Calls().size(), 1u);
    EXPECT_EQ(boxes.Calls()[0].text, "抱歉，2013年数据无法查询！");
    EXPECT_EQ(boxes.Calls()[0].title, "Tallymate 提醒您！");
    EXPECT_EQ(boxes.Calls()[0].style, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(C(kHistoryLabel).GetText(), "2013年12月23日-12月29日");
    EXPECT_EQ(C(kHistoryAddresses).Selection(), 4);
    PumpFor(300);
    EXPECT_EQ(Requests("/ntgame/5173/2013rich/1223-1229.htm"), 0);
    EXPECT_EQ(C(kWeekHeadingLabel).GetText(), " 2015年1月5日-1月11日");
    EXPECT_EQ(C(kTotalRankingList).Cell(0, 1), total);

    // The one page of 2013 that is read.
    ChoosePastWeek(3);
    ASSERT_TRUE(PumpUntil([&] { return C(kWeekHeadingLabel).GetText() == " 2013年12月30日-2014年1月5日"; }, 10000));
    EXPECT_EQ(Requests("/ntgame/5173/2013rich/1230-0105.htm"), 1);
    EXPECT_EQ(boxes.Calls().size(), 1u);
    EXPECT_NE(C(kTotalRankingList).Cell(0, 1), total);  // another week, other games on top
}

TEST_F(RankingsTest, RepliesThatAreNoRankingPageOrNoPicture)
{
    LoadCurrentWeek();
    const Text total = C(kTotalRankingList).Cell(0, 1);
    const std::string gif = replica::RankChartGif();
    const struct {
        const char* what;
        LoopbackReply reply;
    } charts[] = {
        {"an error page", LoopbackReply::Ok("<html><body>404</body></html>")},
        {"a GIF cut short", LoopbackReply::Ok(gif.substr(0, gif.size() / 2), "image/gif")},
        {"a GIF whose connection drops", [&] {
             LoopbackReply r = LoopbackReply::Ok(gif, "image/gif");
             r.closeAfterBytes = 1000;
             return r;
         }()},
        {"eight megabytes", [] {
             LoopbackReply r;
             r.generatedLength = 8u * 1024u * 1024u;
             r.generate = [](std::uint64_t offset, char* out, std::size_t count) {
                 for (std::size_t i = 0; i < count; ++i)
                     out[i] = offset + i < 6 ? "GIF89a"[offset + i] : ';';
             };
             return r;
         }()},
    };
    for (const auto& c : charts) {
        SCOPED_TRACE(c.what);
        LoadCurrentWeek();
        PumpFor(100);
        ASSERT_TRUE(C(kChartThumbnail).HasPicture());
        SetAnswer([&](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
            if (r.Path().find("/chart/") != std::string::npos)
                return c.reply;
            return std::nullopt;
        });
        const int before = Requests("/ntgame/5173/chart/0112-0118.gif");
        form.Raise(kRankingButton, Event::Click);
        ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/0112-0118.gif") == before + 1; }, 10000));
        EXPECT_TRUE(PumpUntil([&] { return !C(kChartThumbnail).HasPicture(); }, 10000));
        EXPECT_EQ(C(kChartTitleLabel).GetText(), kCurrentTitle);
        SetAnswer({});
    }

    // No ranking page at all (the host unreachable or answering with an error): empty texts and
    // picture, empty history, rows as they were, no message.
    seams_test::MessageBoxRecorder boxes;
    LoadCurrentWeek();
    SetAnswer([](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.Path() == "/ntgame/5173/index.htm")
            return LoopbackReply::Status(500, "Internal Server Error");
        return std::nullopt;
    });
    form.Raise(kRankingButton, Event::Click);
    ASSERT_TRUE(PumpUntil([&] { return C(kChartTitleLabel).GetText().empty(); }, 10000));
    ASSERT_TRUE(PumpUntil([&] { return !C(kChartThumbnail).HasPicture(); }, 10000));
    EXPECT_EQ(C(kWeekHeadingLabel).GetText(), "");
    EXPECT_EQ(ChartPictureAddress.Get(), "");
    EXPECT_EQ(C(kHistoryCaptions).ItemCount(), 0);
    EXPECT_EQ(C(kHistoryAddresses).ItemCount(), 0);
    EXPECT_EQ(C(kTotalRankingList).Cell(0, 1), total);
    EXPECT_TRUE(boxes.Calls().empty());
}

// Two loads at once: the earlier one, whose page comes late, writes nothing over the later one.
TEST_F(RankingsTest, OnlyTheNewestLoadWrites)
{
    std::atomic<bool> slowServed{false};
    SetAnswer([&](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.Path() != "/ntgame/5173/index.htm")
            return std::nullopt;
        Sleep(1500);
        slowServed = true;
        return std::nullopt;  // the replica's page, late
    });
    form.Raise(kRankingButton, Event::Click);
    ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/index.htm") == 1; }));
    const auto& past = replica::RankingWeeks()[2];
    ASSERT_TRUE(StartRankingLoad(form, Url(past.path)));
    ASSERT_TRUE(PumpUntil([&] { return C(kChartThumbnail).HasPicture(); }, 10000));
    ASSERT_TRUE(PumpUntil([&] { return slowServed.load(); }, 10000));
    PumpFor(700);
    EXPECT_EQ(C(kWeekHeadingLabel).GetText(), past.heading);
    EXPECT_EQ(C(kChartTitleLabel).GetText(), past.chartTitle);
    EXPECT_EQ(ChartPictureAddress.Get(), Url("/ntgame/5173/chart/" + past.id + ".gif"));
    const RankingPage page = ParseRankingPage(replica::RankingPageHtml(past, host_));
    EXPECT_EQ(C(kTotalRankingList).Cell(0, 1), page.totalRows[0][0]);
    ExpectHistoryOfTheReplica();
    EXPECT_EQ(Requests("/ntgame/5173/chart/0112-0118.gif"), 0);  // the stale load stopped before its chart
}

TEST_F(RankingsTest, ChartWindowOpensClosesAndShowsTheWeekOfTheMoment)
{
    // Before any ranking page: an empty title and an empty picture, nothing fetched.
    form.Raise(kShowChartButton, Event::Click);
    Form chart = ChartWindow();
    ASSERT_TRUE(chart.IsOpen());
    EXPECT_EQ(chart.Title(), "Tallymate-各产品名次变化图表");
    RECT frame, area;
    GetWindowRect(chart.Handle(), &frame);
    GetClientRect(chart.Handle(), &area);
    EXPECT_EQ(frame.left, 50);
    EXPECT_EQ(frame.top, 50);
    EXPECT_EQ(area.right, 900);
    EXPECT_EQ(area.bottom, 500);
    EXPECT_EQ(GetWindow(chart.Handle(), GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));  // not modal
    EXPECT_EQ(chart.Control("标签1").GetText(), "通过图表，我们可以很清楚看到各大热门网游名次变化的曲线!");
    EXPECT_EQ(chart.Control("标签1").GetBounds(), (Bounds{295, 0, 600, 20}));
    EXPECT_EQ(chart.Control("标签2").GetBounds(), (Bounds{0, 0, 300, 20}));
    EXPECT_EQ(chart.Control("图片框_大图").GetBounds(), (Bounds{0, 20, 900, 450}));
    EXPECT_EQ(chart.Control("标签2").GetText(), "");
    PumpFor(200);
    EXPECT_FALSE(chart.Control("图片框_大图").HasPicture());
    chart.Close();
    ASSERT_TRUE(PumpUntil([&] { return !chart.IsOpen(); }));

    LoadCurrentWeek();
    form.Raise(kShowChartButton, Event::Click);
    chart = ChartWindow();
    ASSERT_TRUE(chart.IsOpen());
    EXPECT_EQ(chart.Control("标签2").GetText(), kCurrentTitle);
    ASSERT_TRUE(PumpUntil([&] { return chart.Control("图片框_大图").HasPicture(); }, 10000));
    EXPECT_EQ(chart.Control("图片框_大图").PictureSize().cx, 760);
    EXPECT_EQ(Requests("/ntgame/5173/chart/0112-0118.gif"), 2);  // the thumbnail's and the window's
    chart.Close();
    ASSERT_TRUE(PumpUntil([&] { return !chart.IsOpen(); }));

    // Another week, then the window again: the new title and picture.
    ChoosePastWeek(1);
    const auto& week = replica::RankingWeeks()[2];
    ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/" + week.id + ".gif") == 1; }, 10000));
    form.Raise(kShowChartButton, Event::Click);
    chart = ChartWindow();
    EXPECT_EQ(chart.Control("标签2").GetText(), week.chartTitle);
    ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/" + week.id + ".gif") == 2; }, 10000));
    ASSERT_TRUE(PumpUntil([&] { return chart.Control("图片框_大图").HasPicture(); }, 10000));

    // A click while it is open: the same window takes the week of now.
    const int windows = OpenFormCount();
    ChoosePastWeek(0);
    ASSERT_TRUE(PumpUntil([&] { return C(kChartTitleLabel).GetText() == "2015年第2周"; }, 10000));
    form.Raise(kShowChartButton, Event::Click);
    EXPECT_EQ(ChartWindow(), chart);
    EXPECT_EQ(OpenFormCount(), windows);
    EXPECT_EQ(chart.Control("标签2").GetText(), "2015年第2周");
    ASSERT_TRUE(PumpUntil([&] { return Requests("/ntgame/5173/chart/0105-0111.gif") == 2; }, 10000));
}

// Closing the main window while the thumbnail and the chart window still download: both windows go,
// the late pictures land nowhere.
TEST_F(RankingsTest, ClosingTheMainWindowDuringTheDownloads)
{
    std::atomic<int> chartsServed{0};
    SetAnswer([&](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.Path().find("/chart/") == std::string::npos)
            return std::nullopt;
        Sleep(800);
        ++chartsServed;
        return std::nullopt;
    });
    form.Raise(kRankingButton, Event::Click);
    ASSERT_TRUE(PumpUntil([&] { return C(kChartTitleLabel).GetText() == kCurrentTitle; }, 10000));
    form.Raise(kShowChartButton, Event::Click);
    Form chart = ChartWindow();
    ASSERT_TRUE(chart.IsOpen());
    Control thumbnail = C(kChartThumbnail), big = chart.Control("图片框_大图");
    form.Close();
    ASSERT_TRUE(PumpUntil([&] { return !form.IsOpen(); }));
    EXPECT_FALSE(chart.IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return chartsServed.load() == 2; }, 10000));
    PumpFor(500);
    EXPECT_FALSE(thumbnail.HasPicture());
    EXPECT_FALSE(big.HasPicture());
    EXPECT_FALSE(ChartWindow().IsOpen());
}

}  // namespace
