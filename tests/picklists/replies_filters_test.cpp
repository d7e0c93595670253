// The pick lists' endpoints, the cutting of their replies and the two game filters, without a window.
#include "client/page_bounds.h"
#include "client/pick_lists.h"
#include "replica/pick_list_pages.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

struct HostsAt {
    HostsAt()
    {
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", "127.0.0.1:8001");
        SetEnvironmentVariableA("QUOVANTA_TRADING_HOST", "127.0.0.1:8002");
    }
    ~HostsAt()
    {
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", nullptr);
        SetEnvironmentVariableA("QUOVANTA_TRADING_HOST", nullptr);
    }
};

TEST(PickListEndpoints, UrlsUseTheAjaxAndTradingHosts)
{
    HostsAt hosts;
    EXPECT_EQ(AllGamesUrl(),
              "http://127.0.0.1:8001/ajax.axd?methodName=GETALLGAMESDATAv31&cache=20&IsGameID=false&jsoncallback=callgame");
    EXPECT_EQ(AreasUrl("g1"), "http://127.0.0.1:8001/ajax.axd?methodName=gamesV31&cache=20&gameType=GameAreas"
                              "&tradingType=other&id=g1&jsoncallback=callarea");
    EXPECT_EQ(ServersUrl("a7"), "http://127.0.0.1:8001/ajax.axd?methodName=gamesV31&cache=20&gameType=GameServers"
                                "&tradingType=other&id=a7&jsoncallback=callserver");
    // The key jsoncallback stands twice, before and after the game id.
    EXPECT_EQ(GoodsTypesUrl("g1"), "http://127.0.0.1:8002/auction/GameGetBizOfferTypeHandler.ashx"
                                   "?jsoncallback=calltype&gm=g1&jsoncallback=calltype");
    // An empty id is asked for as it is.
    EXPECT_EQ(AreasUrl(""), "http://127.0.0.1:8001/ajax.axd?methodName=gamesV31&cache=20&gameType=GameAreas"
                            "&tradingType=other&id=&jsoncallback=callarea");
}

TEST(PickListReplies, AllGamesAreTheMatchesInReplyOrderAndGroupsNeverMatch)
{
    auto catalogue = SampleCatalogue();
    PickItems games = ParseAllGamesReply(AllGamesPage(*catalogue));
    std::vector<const ReplicaGame*> order = GamesInPageOrder(*catalogue);
    ASSERT_EQ(games.names.size(), order.size());
    ASSERT_EQ(games.ids.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(games.names[i], order[i]->name) << i;
        EXPECT_EQ(games.ids[i], order[i]->id) << i;
    }

    EXPECT_EQ(ParseAllGamesReply(""), PickItems{});
    EXPECT_EQ(ParseAllGamesReply("callgame([{name:'WEBG',list:[]}])"), PickItems{});
    EXPECT_EQ(ParseAllGamesReply("<html>维护中</html>"), PickItems{});
    // Ids and names are kept exactly as sent, blanks and all.
    EXPECT_EQ(ParseAllGamesReply("callgame([{name:'A',list:[{id:' 7 ',name:'问道 '},{id:'',name:''}]}])"),
              (PickItems{{"问道 ", ""}, {" 7 ", ""}}));
}

// A reply of more games than a list holds gives the first kMaxListRows of them, in reply order.
TEST(PickListReplies, AllGamesStopAtTheListCap)
{
    std::string reply = "callgame([{name:'A',list:[";
    for (int i = 0; i < kMaxListRows + 5000; ++i)
        reply += "{id:'" + std::to_string(i) + "',name:'游戏" + std::to_string(i) + "'},";
    reply += "]},{name:'WEBG',list:[]}])";
    const PickItems games = ParseAllGamesReply(reply);
    ASSERT_EQ(games.names.size(), static_cast<std::size_t>(kMaxListRows));
    ASSERT_EQ(games.ids.size(), static_cast<std::size_t>(kMaxListRows));
    EXPECT_EQ(games.ids.front(), "0");
    EXPECT_EQ(games.ids.back(), std::to_string(kMaxListRows - 1));
    EXPECT_EQ(games.names.back(), "游戏" + std::to_string(kMaxListRows - 1));
}

TEST(PickListReplies, AreaServerAndGoodsTypeRecords)
{
    struct Case {
        const char* what;
        PickItems (*parse)(std::string_view);
        const char* reply;
        PickItems expected;
    };
    const Case cases[] = {
        {"three areas, the trailing } adds none", ParseAreasReply,
         "callarea([{id:'a1',name:'电信一区'},{id:'a2',name:'网通一区'},{id:'a3',name:'双线区'}])",
         {{"电信一区", "网通一区", "双线区"}, {"a1", "a2", "a3"}}},
        {"fields in another order and more of them", ParseAreasReply,
         "callarea([{sort:'1',id:'a1',isNew:'0',name:'新区',py:'xq'}])", {{"新区"}, {"a1"}}},
        {"a record without a name keeps its id in step", ParseAreasReply,
         "callarea([{id:'a1'},{id:'a2',name:'二区'}])", {{"", "二区"}, {"a1", "a2"}}},
        {"no callarea([ gives no area", ParseAreasReply, "callserver([{id:'s1',name:'长安城'}])", {}},
        {"empty reply", ParseAreasReply, "", {}},
        {"empty list", ParseAreasReply, "callarea([])", {}},
        {"servers", ParseServersReply, "callserver([{id:'s1',name:'长安城'},{id:'s2',name:'洛阳'}])",
         {{"长安城", "洛阳"}, {"s1", "s2"}}},
        {"servers need their own callback", ParseServersReply, "callarea([{id:'s1',name:'长安城'}])", {}},
        {"goods types with double-quoted fields", ParseGoodsTypesReply,
         "calltype,calltype([{\"id\":\"1\",\"name\":\"游戏币\"},{\"name\":\"装备\",\"id\":\"2\"}])",
         {{"游戏币", "装备"}, {"1", "2"}}},
        {"goods types under a single callback name are not read", ParseGoodsTypesReply,
         "calltype([{\"id\":\"1\",\"name\":\"游戏币\"}])", {}},
        {"goods types: empty reply", ParseGoodsTypesReply, "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.parse(c.reply), c.expected) << c.what;
}

TEST(PickListReplies, ReplicaPagesReadBackAsTheirData)
{
    auto catalogue = SampleCatalogue();
    const ReplicaGame& game = catalogue->Games().front();
    PickItems areas = ParseAreasReply(AreasPage(*catalogue, game.id));
    ASSERT_EQ(areas.ids.size(), game.areas.size());
    for (std::size_t i = 0; i < game.areas.size(); ++i) {
        EXPECT_EQ(areas.ids[i], game.areas[i].id);
        EXPECT_EQ(areas.names[i], game.areas[i].name);
        PickItems servers = ParseServersReply(ServersPage(*catalogue, game.areas[i].id));
        ASSERT_EQ(servers.ids.size(), game.areas[i].servers.size());
        EXPECT_EQ(servers.names.front(), game.areas[i].servers.front().name);
    }
    PickItems types = ParseGoodsTypesReply(GoodsTypesPage(*catalogue, game.id));
    ASSERT_EQ(types.ids.size(), game.goodsTypes.size());
    EXPECT_EQ(types.names.front(), "游戏币");
    EXPECT_EQ(ParseAreasReply(AreasPage(*catalogue, "no-such-game")), PickItems{});
}

TEST(PickListFilters, LetterOfTheFirstTwoBytes)
{
    struct Case {
        const char* name;
        const char* listedUnder;  // every letter the name is listed under
    };
    const Case cases[] = {
        {"梦幻西游", "M"},     // the first Chinese character only
        {"魔兽世界(国服)", "M"},
        {"地下城与勇士", "D"},
        {"3D坦克", "D"},       // two single-byte characters: 3 is no letter
        {"QQ三国", "Q"},
        {"LaTale", "AL"},      // each of the two letters, either case
        {"cs online", "CS"},
        {"Q版三国", "Q"},      // a letter and the first byte of a Chinese character
        {"丄丄", ""},          // 0x81 0x41: the second byte looks like "A" but is no letter
        {"", ""},
        {"Z", "Z"},
    };
    for (const Case& c : cases) {
        Text under;
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            if (GameNameHasInitial(c.name, letter)) under += letter;
        EXPECT_EQ(under, c.listedUnder) << c.name;
    }
    EXPECT_TRUE(GameNameHasInitial("梦幻西游", 'm'));
}

TEST(PickListFilters, FiltersKeepOrderAndTwins)
{
    PickItems all{{"QQ三国", "梦幻西游", "奇迹MU", "大话西游2", "qq堂", "", "丄A"},
                  {"1", "2", "3", "4", "5", "6", "7"}};
    EXPECT_EQ(FilterGamesByLetter(all, 'Q'), (PickItems{{"QQ三国", "奇迹MU", "qq堂"}, {"1", "3", "5"}}));
    EXPECT_EQ(FilterGamesByLetter(all, 'X'), PickItems{});

    struct Case {
        const char* keyword;
        PickItems expected;
    };
    const Case cases[] = {
        {"QQ", {{"QQ三国"}, {"1"}}},       // case-sensitive: not "qq堂"
        {"qq", {{"qq堂"}, {"5"}}},
        {"西游", {{"梦幻西游", "大话西游2"}, {"2", "4"}}},
        {"A", {{"丄A"}, {"7"}}},           // the trail byte of 丄 (0x41) is no "A"; the real one is
        {"", {{"QQ三国", "梦幻西游", "奇迹MU", "大话西游2", "qq堂", "丄A"}, {"1", "2", "3", "4", "5", "7"}}},
        {"魔兽", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterGamesByKeyword(all, c.keyword), c.expected) << c.keyword;

    // Names without ids (a broken pair) still come with an id, the empty one.
    EXPECT_EQ(FilterGamesByKeyword({{"问道", "诛仙"}, {"1"}}, "诛"), (PickItems{{"诛仙"}, {""}}));
}

TEST(PickListFilters, LetterFilterItems)
{
    TextArray items = LetterFilterItems();
    ASSERT_EQ(items.size(), 27u);
    EXPECT_EQ(items[0], "全部游戏ALL");
    EXPECT_EQ(items[1], "A");
    EXPECT_EQ(items[26], "Z");
}

}  // namespace
