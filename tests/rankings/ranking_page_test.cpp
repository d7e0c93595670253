// Cutting a ranking page: the entries of the blocks and the rows they fill, the cleaning of names and
// prices, the history, the chart title and address; the refusal of 2013 weeks; chart replies.
#include "client/page_bounds.h"
#include "client/rankings.h"
#include "replica/ranking_pages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// A block as a ranking page has it: the rest of the title and the header entry, `count` entries and
// the tail.
std::string Block(int count, const std::string& cell = "<div class=\"r_game\"><a href=\"/g\" target=\"_blank\">Game %d</a></div>")
{
    std::string b = "</div><ul><li class=\"r_h\"><div>排名</div></li>\r\n";
    for (int k = 1; k <= count; ++k) {
        std::string entry = cell;
        std::size_t at = entry.find("%d");
        if (at != std::string::npos) entry.replace(at, 2, std::to_string(k));
        b += "<li><div class=\"r_num\">" + std::to_string(k) + "</div>" + entry + "</li>\r\n";
    }
    return b + "</ul></div>\r\n";
}

TEST(RankingPage, BlockEntriesFillTenRowsAtMost)
{
    // Pieces 2 to 11 fill the rows; the header piece, pieces from 12 on and the tail are never shown.
    const struct {
        int entries;
        std::size_t rows;
    } cases[] = {{11, 10}, {12, 10}, {20, 10}, {10, 10}, {3, 3}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        const TextArray entries = RankingBlockEntries(Block(c.entries));
        ASSERT_EQ(entries.size(), c.rows);
        for (std::size_t k = 0; k < entries.size(); ++k)
            EXPECT_NE(entries[k].find("Game " + std::to_string(k + 1) + "<"), Text::npos) << entries[k];
    }
    // A block that stops right after its last "</li>": the empty piece does not count, and the last
    // counted piece (here the tenth entry) is taken for the tail.
    std::string bare = Block(10);
    bare.erase(bare.rfind("</li>") + 5);
    EXPECT_EQ(RankingBlockEntries(bare).size(), 9u);
    EXPECT_TRUE(RankingBlockEntries("").empty());
}

// A whole page: the current week of the replica, whose blocks hold 12, 11 and 10 entries.
TEST(RankingPage, ReplicaPageCutIntoItsFields)
{
    const auto& week = replica::RankingWeeks().front();
    const RankingPage page = ParseRankingPage(replica::RankingPageHtml(week, "ranking.test:81"));
    EXPECT_EQ(page.weekHeading, " 2015年1月12日-1月18日");
    ASSERT_EQ(page.totalRows.size(), 10u);
    ASSERT_EQ(page.currencyRows.size(), 10u);
    ASSERT_EQ(page.equipmentRows.size(), 10u);
    // "</a>" becomes one blank; the blanks of an equipment price go.
    EXPECT_EQ(page.totalRows[0], (TextArray{"地下城与勇士 "}));
    EXPECT_EQ(page.currencyRows[0], (TextArray{"剑灵 ", "1元=2.00万金"}));
    EXPECT_EQ(page.equipmentRows[0], (TextArray{"+15 风暴之剑", "12800元", "穿越火线"}));
    for (const TextArray& row : page.equipmentRows)
        EXPECT_EQ(row[1].find(' '), Text::npos) << row[1];
    EXPECT_EQ(page.historyCaptions,
              (TextArray{"2015年1月5日-1月11日", "2014年12月29日-2015年1月4日", "2014年12月22日-12月28日",
                         "2013年12月30日-2014年1月5日", "2013年12月23日-12月29日"}));
    ASSERT_EQ(page.historyAddresses.size(), page.historyCaptions.size());
    EXPECT_EQ(page.historyAddresses[0], "http://ranking.test:81/ntgame/5173/2015/0105-0111.htm");
    EXPECT_EQ(page.historyAddresses[3], "http://ranking.test:81/ntgame/5173/2013rich/1230-0105.htm");
    // The page's first title division is its heading; the chart title comes after the last one.
    EXPECT_EQ(page.chartTitle, "2015年第3周");
    EXPECT_EQ(page.chartPictureAddress, "http://ranking.test:81/ntgame/5173/chart/0112-0118.gif");
}

TEST(RankingPage, FieldsOfSmallPages)
{
    const std::string equipment =
        "<div class=\"r_right\">战神之刃</div><div class=\"gct_m\">1 200 元</div><div class=\"r_game ng\">Game %d</div>";
    const std::string page = "<div class=\"rtw_t\">A</div>本周排行第2周</div>"
                             "总交易额排行榜" + Block(2) + "<div class=\"ranking gc\">"
                             "装备交易排行榜(含重复物品)" + Block(1, equipment) + "<div class=\"rtw erl\">"
                             "<div class=\"rtw_t\">B</div><div class=\"rtw_t\">第9周各产品名次变化图表</div>"
                             "曲线<img src=\"http://x/c.jpg\"><div class=\"review\">往期回顾<ul>"
                             "<li><a href=\"http://x/1.htm\" target=\"_blank\">一</a></li>"
                             "<li><a href=\"http://x/2.htm\" target=\"_blank\">二</a></li>\r\n</ul>";
    const RankingPage p = ParseRankingPage(page);
    EXPECT_EQ(p.weekHeading, "第2周");
    EXPECT_EQ(p.totalRows, (std::vector<TextArray>{{"Game 1 "}, {"Game 2 "}}));
    EXPECT_TRUE(p.currencyRows.empty());  // no such block
    EXPECT_EQ(p.equipmentRows, (std::vector<TextArray>{{"战神之刃", "1200元", "Game 1"}}));
    EXPECT_EQ(p.chartTitle, "第9周");
    EXPECT_EQ(p.chartPictureAddress, "http://x/c.jpg");
    EXPECT_EQ(p.historyCaptions, (TextArray{"一", "二"}));
    EXPECT_EQ(p.historyAddresses, (TextArray{"http://x/1.htm", "http://x/2.htm"}));

    // An empty or foreign reply gives nothing at all.
    for (const char* reply : {"", "<html><body>502 Bad Gateway</body></html>"}) {
        const RankingPage empty = ParseRankingPage(reply);
        EXPECT_TRUE(empty.weekHeading.empty() && empty.chartTitle.empty() && empty.chartPictureAddress.empty());
        EXPECT_TRUE(empty.totalRows.empty() && empty.currencyRows.empty() && empty.equipmentRows.empty());
        EXPECT_TRUE(empty.historyCaptions.empty() && empty.historyAddresses.empty());
    }
}

TEST(RankingPage, OnlyOnePageOf2013IsRead)
{
    SetEnvironmentVariableA("QUOVANTA_RANKING_HOST", "rank.example:8080");
    EXPECT_EQ(CurrentRankingAddress(), "http://rank.example:8080/ntgame/5173/index.htm");
    const struct {
        const char* address;
        bool refused;
    } cases[] = {
        {"http://rank.example:8080/ntgame/5173/2013rich/1230-0105.htm", false},
        {"http://rank.example:8080/ntgame/5173/2013rich/1223-1229.htm", true},
        {"http://other.example/ntgame/5173/2013rich/1230-0105.htm", true},  // another host
        {"http://rank.example:8080/ntgame/5173/2013RICH/1223-1229.htm", false},  // the search is exact
        {"http://rank.example:8080/ntgame/5173/2014/1222-1228.htm", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsRefused2013Week(c.address), c.refused) << c.address;
    SetEnvironmentVariableA("QUOVANTA_RANKING_HOST", nullptr);
}

TEST(RankingPage, ChartRepliesThatAreNoWholePictureShowNothing)
{
    const std::string gif = replica::RankChartGif();
    const ByteSet whole(gif.begin(), gif.end());
    EXPECT_EQ(ChartPictureBytes(whole), whole);
    // A 1 x 1 JPEG's frame, scan and end of image (the entropy-coded bytes are not decoded here).
    const ByteSet jpeg = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 1, 0, 1, 1, 1, 0x11, 0,    0xFF, 0xDA, 0, 8,
                          1,    1,    0,    0,    63, 0, 0x12, 0x34, 0xFF, 0, 0x56, 0xFF, 0xD0, 0x78, 0xFF, 0xD9};
    // What a server sends after the picture's end is dropped: a line break, padding, a stray byte.
    for (const ByteSet& picture : {whole, jpeg}) {
        for (const ByteSet& tail : {ByteSet{'\r', '\n'}, ByteSet{0, 0, ' '}, ByteSet{'x'}}) {
            ByteSet sent = picture;
            sent.insert(sent.end(), tail.begin(), tail.end());
            EXPECT_EQ(ChartPictureBytes(sent), picture) << sent.size();
        }
    }

    ByteSet huge(kChartPictureLimit + 1, 0);
    std::copy(whole.begin(), whole.end(), huge.begin());
    const ByteSet cases[] = {
        {},
        ByteSet{'<', 'h', 't', 'm', 'l', '>', '4', '0', '4', '<', '/', 'h', 't', 'm', 'l', '>'},
        ByteSet(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)),  // cut short
        ByteSet(jpeg.begin(), jpeg.end() - 2),
        huge,
        ByteSet{'B', 'M', 0xFF, 0xFF, 0, 0},
    };
    for (const ByteSet& bytes : cases)
        EXPECT_TRUE(ChartPictureBytes(bytes).empty()) << bytes.size();
}

// A page of more history entries than a list holds lists as many as it holds.
TEST(RankingPage, HistoryEntriesAreBoundedByTheListCap)
{
    std::string block = "往期回顾";
    for (int i = 0; i < kMaxListRows + 100; ++i)
        block += "<li><a href=\"http://h/" + std::to_string(i) + ".htm\" target=\"_blank\">w</a></li>";
    block += "</ul>";
    const RankingPage page = ParseRankingPage(block);
    ASSERT_EQ(page.historyAddresses.size(), static_cast<std::size_t>(kMaxListRows));
    EXPECT_EQ(page.historyCaptions.size(), static_cast<std::size_t>(kMaxListRows));
    EXPECT_EQ(page.historyAddresses.back(), "http://h/" + std::to_string(kMaxListRows - 1) + ".htm");
}

TEST(RankingPage, RowsReadOneToTen)
{
    for (int row = 0; row < kRankingRows; ++row)
        EXPECT_EQ(RankPictureOfImage(kRankRowImages[row]), row + 1) << row;
}

}  // namespace
