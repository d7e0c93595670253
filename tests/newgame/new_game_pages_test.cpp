// The texts of the new-game window: the test-list address and row pattern, the matching of a name
// to the platform's id, the platform's game list, and the replica's pages.
#include "new_game_fixture.h"

#include "client/deal_query.h"
#include "client/pick_lists.h"
#include "helpers/http_client.h"
#include "helpers/listview_sort.h"
#include "helpers/text_helpers.h"
#include "replica/sample_data.h"
#include "support/replica_loopback.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace newgame_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(NewGamePage, AddressesOfTheListAndOfTheFirstDealRequest)
{
    SetEnvironmentVariableA("QUOVANTA_NEWGAME_HOST", "list.test:81");
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", "deals.test");
    EXPECT_EQ(NewGameListAddress(1), "http://list.test:81/testing-list.html?page=1&type=0&theme=0&frame=0");
    EXPECT_EQ(NewGameListAddress(12), "http://list.test:81/testing-list.html?page=12&type=0&theme=0&frame=0");
    EXPECT_EQ(NewGameFirstDealAddress("g7"),
              "http://deals.test/list/ViewLastestDealList.aspx?ts=consignment&offerid=&gm=g7&raceid=-1&ga=-1&gs=-1"
              "&bt=-1&sort=-1&section=-1_-1&pg=1&ps=80");
    SetEnvironmentVariableA("QUOVANTA_NEWGAME_HOST", nullptr);
    SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", nullptr);
}

TEST(NewGamePage, RowsAreCutByTheEightLinePatternAndNumberedFromOne)
{
    NewGameEntry a = Game("新游甲", "2015-01-15");
    a.reviewLink = "/game-info-1.html";
    a.developerLink = "http://dev/a";
    a.operatorLink = "http://op/a";
    const std::string page = replica::NewGameListPageHtml({a, Game("Abc"), Game("")});
    const std::vector<TextArray> rows = ParseNewGamePage(Utf8ToGbk(page));
    ASSERT_EQ(rows.size(), 3u);  // the header row is no game
    EXPECT_THAT(rows[0], ElementsAre("1", "2015-01-15", "/game-info-1.html", "新游甲", "公测", "不需要", "http://dev/a",
                                     "开发商甲", "http://op/a", "运营商乙", "", "", ""));
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][kNewGameName], "Abc");
    EXPECT_EQ(rows[2][0], "3");
    EXPECT_EQ(rows[2][kNewGameName], "");

    // The row must be laid out exactly: other line ends or indents, or "<td>" for "<td >", are no row.
    const std::string good = Utf8ToGbk(replica::NewGameListPageHtml({Game("乙")}));
    ASSERT_EQ(ParseNewGamePage(good).size(), 1u);
    struct Change {
        const char* from;
        const char* to;
    } changes[] = {{"\r\n", "\n"}, {"\t                <td>", "                <td>"}, {"<td >", "<td>"},
                   {"\t            </tr>", "\t           </tr>"}};
    for (const Change& c : changes) {
        SCOPED_TRACE(c.to);
        EXPECT_TRUE(ParseNewGamePage(ReplaceText(good, c.from, c.to)).empty());
    }
    // Letter case is ignored; a page without the pattern gives no row.
    EXPECT_EQ(ParseNewGamePage(ReplaceText(good, "<td >", "<TD >")).size(), 1u);
    EXPECT_TRUE(ParseNewGamePage("").empty());
    // Invalid UTF-8 in a name, and a page cut off inside its second row.
    std::string two = replica::NewGameListPageHtml({Game("坏QZQ名"), Game("丙")});
    two.replace(two.find("QZQ"), 3, "\xFF\xFE\xC3");
    const std::vector<TextArray> bad = ParseNewGamePage(Utf8ToGbk(two));
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(FindText(bad[0][kNewGameName], "坏"), 1);
    EXPECT_EQ(bad[1][kNewGameName], "丙");
    EXPECT_EQ(ParseNewGamePage(Utf8ToGbk(two.substr(0, two.rfind("<td >") + 10))).size(), 1u);
    EXPECT_TRUE(ParseNewGamePage("<html>维护中</html>").empty());
}

TEST(NewGamePage, AHugePageIsCutToTheRowLimit)
{
    std::vector<NewGameEntry> games(kMaxNewGameRowsPerPage + 50, Game("多"));
    EXPECT_EQ(static_cast<int>(ParseNewGamePage(Utf8ToGbk(replica::NewGameListPageHtml(games))).size()),
              kMaxNewGameRowsPerPage);
}

TEST(NewGameMatch, ThePlatformNameHoldsTheNameIgnoringLetterCase)
{
    const TextArray names = {"AB", "", "abc online", "ABC 2", "魔兽世界(国服)"};
    const TextArray ids = {"1", "2", "3", "4", "5"};
    struct Case {
        const char* name;
        const char* id;
    } cases[] = {
        {"ABC", "3"},       // the upper of two candidates; never "AB", which is shorter
        {"abc 2", "4"},     //
        {"魔兽世界", "5"},   // the platform's name may be longer
        {"魔兽世界(国服)2", ""},  // not the reverse
        {"", ""},           // an empty name matches nothing (not the first game)
        {"新游戏", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MatchPlatformGameId(c.name, names, ids), c.id);
    }
    EXPECT_EQ(MatchPlatformGameId("ABC", {}, {}), "");
}

TEST(NewGamePlatformList, GamesBeforeTheWebGroupNumberedFromOne)
{
    const std::vector<TextArray> rows = NewGamePlatformRows(AllGamesReply({{"问道", "g1"}, {"LaTale", "g2"}}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows[0], ElementsAre("1", "问道", "g1"));
    EXPECT_THAT(rows[1], ElementsAre("2", "LaTale", "g2"));
    // Without either marker the list stays empty.
    EXPECT_TRUE(NewGamePlatformRows("{id:'g1',name:'问道'}]},{name:'WEBG',list:[]}])").empty());
    EXPECT_TRUE(NewGamePlatformRows("callgame([{id:'g1',name:'问道'}])").empty());
}

TEST(NewGameReplica, ThreePagesOfGamesThenPagesWithoutAndTheDealsOfMatchedGames)
{
    ReplicaLoopback replica;
    ASSERT_TRUE(replica.Start());
    const std::vector<TextArray> platform = NewGamePlatformRows(FetchUrlText(AllGamesUrl()));
    TextArray names, ids;
    for (const TextArray& row : platform) {
        names.push_back(row[1]);
        ids.push_back(row[2]);
    }
    auto idOf = [&](const char* platformName) {
        const auto at = std::find(names.begin(), names.end(), platformName);
        return at == names.end() ? Text("<none>") : ids[static_cast<std::size_t>(at - names.begin())];
    };

    const int expected[] = {100, 100, 40, 0, 0};
    std::map<Text, Text> idByName;
    int unmatched = 0, twice = 0, dates = 0;
    for (int page = 1; page <= 5; ++page) {
        SCOPED_TRACE(page);
        HttpRequest request{NewGameListAddress(page)};
        request.responseHeaders = Text();
        const Text reply = FetchUrlText(request);
        EXPECT_THAT(*request.responseHeaders, HasSubstr("charset=utf-8"));
        EXPECT_THAT(reply, HasSubstr("\r\n\t            </tr>\r\n"));
        const std::vector<TextArray> rows = ParseNewGamePage(Utf8ToGbk(reply));
        ASSERT_EQ(static_cast<int>(rows.size()), expected[page - 1]);
        for (const TextArray& row : rows) {
            const Text id = MatchPlatformGameId(row[kNewGameName], names, ids);
            idByName[row[kNewGameName]] = id;
            if (id.empty()) ++unmatched;
            const Text& link = row[kNewGameReviewLink];
            if (FindText(link, "game", FindText(link, "game") + 1) > 0) ++twice;
            if (ListViewSortDateTimeOf(row[kNewGameTestDate]) > 0) ++dates;
        }
    }
    // Names as the platform writes them, in other letter case, the start of a longer name, and new ones.
    EXPECT_EQ(idByName["问道"], idOf("问道"));
    EXPECT_EQ(idByName["LATALE"], idOf("LaTale"));
    EXPECT_EQ(idByName["qq飞车"], idOf("QQ飞车"));
    EXPECT_EQ(idByName["魔兽世界"], idOf("魔兽世界(国服)"));
    EXPECT_GT(unmatched, 100);
    EXPECT_GT(twice, 50);
    EXPECT_GT(dates, 200);

    // The run's first request for a matched game is answered with its deals.
    const Text first = FetchUrlText(NewGameFirstDealAddress(idOf("问道")));
    EXPECT_EQ(DealPageCount(first), 1);
    EXPECT_EQ(SplitDealRecords(first).size(), 6u);
    EXPECT_EQ(DealCountOfPage(first), "1234");
}

}  // namespace
}  // namespace newgame_test
