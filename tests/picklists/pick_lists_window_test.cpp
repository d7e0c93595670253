// The pick lists end to end: a window with the pick-list controls, its workers and the replica's
// pages served by the loopback server.
#include "client/pick_lists.h"
#include "client/program_state.h"
#include "picklists/pick_list_window.h"
#include "replica/pick_list_pages.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr char kGameNames[] = "游戏列表_游戏名_显";
constexpr char kGameIds[] = "游戏列表_游戏名_编号";
constexpr char kAreaNames[] = "游戏分区_大区_显";
constexpr char kAreaIds[] = "游戏分区_大区_隐";
constexpr char kServerNames[] = "游戏伺服_服务器_显";
constexpr char kServerIds[] = "游戏伺服_服务器_隐";
constexpr char kTypeNames[] = "商品类型_类型_显";
constexpr char kTypeIds[] = "商品类型_类型_隐";

const char* const kEightGameLists[] = {"游戏列表_游戏名_显",  "游戏列表_游戏名_编号",  "游戏列表_游戏名_隐",
                                       "游戏列表_游戏名_编号_隐", "游戏列表_游戏名_显1", "游戏列表_游戏名_编号1",
                                       "游戏列表_游戏名_隐1", "游戏列表_游戏名_编号_隐1"};

using Override = std::function<std::optional<LoopbackReply>(const LoopbackRequest&)>;

class PickListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddPickListRoutes(routes_, catalogue_);
        server_ = std::make_unique<LoopbackHttpServer>([this](const LoopbackRequest& r) { return Answer(r); });
        ASSERT_TRUE(server_->Start());
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server_->HostAndPort().c_str());
        SetEnvironmentVariableA("QUOVANTA_TRADING_HOST", server_->HostAndPort().c_str());
    }

    void TearDown() override
    {
        if (form_.IsOpen())
            form_.Destroy();
        PumpFor(50);
        server_->Stop();
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", nullptr);
        SetEnvironmentVariableA("QUOVANTA_TRADING_HOST", nullptr);
    }

    LoopbackReply Answer(const LoopbackRequest& r)
    {
        Override o;
        {
            std::lock_guard<std::mutex> lock(lock_);
            o = override_;
        }
        if (o)
            if (std::optional<LoopbackReply> reply = o(r))
                return *reply;
        ReplicaPage page = routes_.Serve(ParseReplicaRequest(r.method, r.target));
        LoopbackReply reply = LoopbackReply::Ok(page.body, page.contentType);
        reply.status = page.status;
        reply.reason = page.reason;
        return reply;
    }

    void SetOverride(Override o)
    {
        std::lock_guard<std::mutex> lock(lock_);
        override_ = std::move(o);
    }

    // Opens the window; with `load` waits for the start-up load of all games.
    void Open(bool load = true)
    {
        form_ = LoadForm(PickListTestLayout(), PickListTestEvents(load));
        ASSERT_TRUE(form_.IsOpen());
        if (load) {
            ASSERT_TRUE(PumpUntil([&] { return Label() == "游戏名 列表载入完成！"; }, 10000));
        }
    }

    Text Label() { return form_.Control("状态").GetText(); }
    Text Bar() { return form_.Control("状态条1").PartText(1); }
    TextArray Items(const char* list) { return form_.Control(list).Items(); }
    int Selection(const char* list) { return form_.Control(list).Selection(); }

    // The user's choice of an item: the selection, then the event the list raises.
    void Pick(const char* list, int index)
    {
        form_.Control(list).SetSelection(index);
        EventArgs args;
        args.index = index;
        form_.Raise(list, Event::SelectionChanged, args);
    }

    void PickGameAndWait(int index)
    {
        form_.Control("状态").SetText("");
        Pick(kGameNames, index);
        ASSERT_TRUE(PumpUntil([&] { return Label() == "分区类型 列表载入完成！"; }, 10000));
    }

    void PickAreaAndWait(int index)
    {
        form_.Control("状态条1").SetPartText(1, "");
        Pick(kAreaNames, index);
        ASSERT_TRUE(PumpUntil([&] { return Bar() == "服务器列表载入完成！"; }, 10000));
    }

    void ChooseLetter(const char* combo, int item)
    {
        form_.Control(combo).SetSelection(item);
        EventArgs args;
        args.index = item;
        form_.Raise(combo, Event::SelectionChanged, args);
    }

    std::vector<Text> Targets()
    {
        std::vector<Text> out;
        for (const LoopbackRequest& r : server_->Requests())
            out.push_back(r.target);
        return out;
    }

    int IndexOfGame(const char* name)
    {
        TextArray names = Items(kGameNames);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<int>(i);
        return -1;
    }

    PickItems PageOrder(const ReplicaCatalogue& catalogue)
    {
        PickItems out;
        for (const ReplicaGame* g : GamesInPageOrder(catalogue)) {
            out.names.push_back(g->name);
            out.ids.push_back(g->id);
        }
        return out;
    }

    // The visible game pair of a page and the ids the catalogue has for its names.
    void ExpectAligned(const char* names, const char* ids)
    {
        TextArray n = Items(names), d = Items(ids);
        ASSERT_EQ(n.size(), d.size()) << names;
        for (std::size_t i = 0; i < n.size(); ++i) {
            const ReplicaGame* g = catalogue_->FindGame(d[i]);
            ASSERT_NE(g, nullptr) << d[i];
            EXPECT_EQ(g->name, n[i]);
        }
    }

    std::shared_ptr<const ReplicaCatalogue> catalogue_ = SampleCatalogue();
    ReplicaRoutes routes_;
    std::unique_ptr<LoopbackHttpServer> server_;
    std::mutex lock_;
    Override override_;
    seams_test::WaitRecorder waits_;
    Form form_;
};

TEST_F(PickListWindow, StartUpFillsTheEightGameListsInReplyOrder)
{
    Open();
    PickItems expected = PageOrder(*catalogue_);
    for (int page = 0; page < 2; ++page) {
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 0]), expected.names);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 1]), expected.ids);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 2]), expected.names);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 3]), expected.ids);
    }
    EXPECT_EQ(Bar(), "游戏名 列表载入完成！");
    EXPECT_EQ(Targets(), std::vector<Text>{"/ajax.axd?methodName=GETALLGAMESDATAv31&cache=20&IsGameID=false&jsoncallback=callgame"});
    EXPECT_EQ(form_.Control("字母分类").ItemCount(), 27);
    EXPECT_EQ(form_.Control("字母分类1").Items(), LetterFilterItems());
}

TEST_F(PickListWindow, GameAreaServerAndGoodsTypeFromPickToPick)
{
    Open();
    int k = IndexOfGame("梦幻西游");
    ASSERT_GE(k, 0);
    const ReplicaGame& game = *catalogue_->FindGame(Items(kGameIds)[static_cast<std::size_t>(k)]);
    server_->ClearRequests();

    // A real click on the game raises the list's selection event.
    DealQueryBusy = 1;
    HWND games = form_.Control(kGameNames).Handle();
    SendMessageA(games, LB_SETTOPINDEX, k, 0);
    RECT r{};
    SendMessageA(games, LB_GETITEMRECT, k, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
    SendMessageA(games, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(games, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return Label() == "分区类型 列表载入完成！"; }, 10000));

    EXPECT_EQ(Targets(), (std::vector<Text>{
                             "/ajax.axd?methodName=gamesV31&cache=20&gameType=GameAreas&tradingType=other&id=" +
                                 game.id + "&jsoncallback=callarea",
                             "/auction/GameGetBizOfferTypeHandler.ashx?jsoncallback=calltype&gm=" + game.id +
                                 "&jsoncallback=calltype"}));
    EXPECT_EQ(Selection(kGameIds), k);
    TextArray areaNames, areaIds;
    for (const ReplicaArea& a : game.areas) {
        areaNames.push_back(a.name);
        areaIds.push_back(a.id);
    }
    EXPECT_EQ(Items(kAreaNames), areaNames);
    EXPECT_EQ(Items(kAreaIds), areaIds);
    ASSERT_EQ(Items(kTypeNames).size(), game.goodsTypes.size());
    EXPECT_EQ(Items(kTypeNames)[0], "游戏币");
    EXPECT_EQ(Items(kTypeIds)[0], game.goodsTypes[0].id);
    EXPECT_EQ(Bar(), "分区类型 列表载入完成！");
    ASSERT_EQ(waits_.Calls().size(), 1u);
    EXPECT_EQ(waits_.Calls()[0].milliseconds, 1000);

    // The area: the server list of that area; the status label keeps its text.
    server_->ClearRequests();
    DealQueryBusy = 1;
    PickAreaAndWait(1);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    const ReplicaArea& area = game.areas[1];
    EXPECT_EQ(Targets(), std::vector<Text>{"/ajax.axd?methodName=gamesV31&cache=20&gameType=GameServers"
                                           "&tradingType=other&id=" + area.id + "&jsoncallback=callserver"});
    EXPECT_EQ(Selection(kAreaIds), 1);
    ASSERT_EQ(Items(kServerNames).size(), area.servers.size());
    EXPECT_EQ(Items(kServerNames).back(), area.servers.back().name);
    EXPECT_EQ(Items(kServerIds).back(), area.servers.back().id);
    EXPECT_EQ(Label(), "分区类型 列表载入完成！");

    // Server and goods type: the hidden twins follow, nothing is asked of the platform.
    server_->ClearRequests();
    DealQueryBusy = 1;
    Pick(kServerNames, 1);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(Selection(kServerIds), 1);
    DealQueryBusy = 1;
    Pick(kTypeNames, 2);
    EXPECT_EQ(DealQueryBusy.load(), 0);
    EXPECT_EQ(Selection(kTypeIds), 2);
    PumpFor(300);
    EXPECT_EQ(server_->RequestCount(), 0u);
}

TEST_F(PickListWindow, AnotherGameEmptiesTheServers)
{
    Open();
    PickGameAndWait(IndexOfGame("问道"));
    PickAreaAndWait(0);
    ASSERT_FALSE(Items(kServerNames).empty());
    PickGameAndWait(IndexOfGame("诛仙"));
    EXPECT_TRUE(Items(kServerNames).empty());
    EXPECT_TRUE(Items(kServerIds).empty());
    EXPECT_EQ(Items(kAreaIds).size(), catalogue_->FindGame(Items(kGameIds)[IndexOfGame("诛仙")])->areas.size());
}

TEST_F(PickListWindow, LetterFilterAndAllGames)
{
    Open();
    struct Case {
        int item;  // 1 = "A"
        TextArray names;
    };
    const Case cases[] = {
        {'Q' - 'A' + 1, {"QQ三国", "QQ华夏", "QQ幻想", "QQ飞车", "QQ炫舞", "QQ自由幻想", "奇迹MU", "倩女幽魂"}},
        {'D' - 'A' + 1, {"3D坦克", "3D魔幻", "3D赛车", "大话西游2", "地下城与勇士", "刀剑英雄", "斗战神"}},
        {'A' - 'A' + 1, {"暗黑破坏神3", "LaTale"}},
        {'L' - 'A' + 1, {"LaTale", "龙之谷", "炉石传说", "洛奇英雄传"}},
        {'M' - 'A' + 1, {"梦幻西游", "魔兽世界(国服)", "冒险岛"}},
        {'V' - 'A' + 1, {}},
    };
    std::size_t all = catalogue_->Games().size();
    for (const Case& c : cases) {
        form_.Control(kGameNames).SetSelection(0);
        ChooseLetter("字母分类", c.item);
        EXPECT_EQ(Items(kGameNames), c.names) << c.item;
        ExpectAligned(kGameNames, kGameIds);
        EXPECT_EQ(Selection(kGameNames), -1);
        EXPECT_EQ(Selection(kGameIds), -1);
        EXPECT_EQ(Items("游戏列表_游戏名_隐").size(), all);
        EXPECT_EQ(Items("游戏列表_游戏名_编号_隐").size(), all);
        EXPECT_EQ(Items("游戏列表_游戏名_显1").size(), all);  // page 2 untouched
    }
    EXPECT_EQ(server_->RequestCount(), 1u);

    // Page 2's filter works on page 2's lists only.
    ChooseLetter("字母分类1", 'Q' - 'A' + 1);
    EXPECT_EQ(Items("游戏列表_游戏名_显1"), cases[0].names);
    ExpectAligned("游戏列表_游戏名_显1", "游戏列表_游戏名_编号1");
    EXPECT_TRUE(Items(kGameNames).empty());

    // "全部游戏ALL" reloads, on the window thread, every game list once.
    ChooseLetter("字母分类", 0);
    PickItems expected = PageOrder(*catalogue_);
    for (const char* list : kEightGameLists)
        EXPECT_EQ(Items(list).size(), all) << list;
    EXPECT_EQ(Items(kGameNames), expected.names);
    EXPECT_EQ(Items("游戏列表_游戏名_显1"), expected.names);
    EXPECT_EQ(Items("游戏列表_游戏名_编号_隐1"), expected.ids);
    EXPECT_EQ(server_->RequestCount(), 2u);
    ChooseLetter("字母分类1", 0);
    for (const char* list : kEightGameLists)
        EXPECT_EQ(Items(list).size(), all) << list;
    EXPECT_EQ(Label(), "游戏名 列表载入完成！");
}

TEST_F(PickListWindow, KeywordSearchAndDefaultButton)
{
    Open();
    struct Case {
        const char* box;
        const char* button;
        const char* list;
        const char* keyword;
        TextArray names;
    };
    const Case cases[] = {
        {"编辑框_关键字", "按钮_关键字", kGameNames, "QQ", {"QQ三国", "QQ华夏", "QQ幻想", "QQ飞车", "QQ炫舞", "QQ自由幻想"}},
        {"编辑框_关键字", "按钮_关键字", kGameNames, "qq", {}},
        {"编辑框_关键字1", "按钮_关键字1", "游戏列表_游戏名_显1", "西游", {"大话西游2", "梦幻西游"}},
        {"编辑框_关键字1", "按钮_关键字1", "游戏列表_游戏名_显1", "mu", {}},
        {"编辑框_关键字1", "按钮_关键字1", "游戏列表_游戏名_显1", "MU", {"奇迹MU"}},
    };
    for (const Case& c : cases) {
        form_.Control(c.box).SetText(c.keyword);
        form_.Raise(c.button, Event::Click);
        EXPECT_EQ(Items(c.list), c.names) << c.keyword;
    }
    ExpectAligned("游戏列表_游戏名_显1", "游戏列表_游戏名_编号1");
    form_.Control("编辑框_关键字").SetText("");
    form_.Raise("按钮_关键字", Event::Click);
    EXPECT_EQ(Items(kGameNames), PageOrder(*catalogue_).names);

    form_.Raise("编辑框_关键字", Event::FocusGained);
    EXPECT_TRUE(form_.Control("按钮_关键字").IsDefault());
    EXPECT_FALSE(form_.Control("按钮_关键字1").IsDefault());
    form_.Raise("编辑框_关键字1", Event::FocusGained);
    EXPECT_TRUE(form_.Control("按钮_关键字1").IsDefault());
    EXPECT_FALSE(form_.Control("按钮_关键字").IsDefault());
    EXPECT_EQ(server_->RequestCount(), 1u);
}

TEST_F(PickListWindow, ThreeAreaRecordsWithTheTrailingBrace)
{
    SetOverride([](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find("GameAreas") != std::string::npos)
            return LoopbackReply::Ok("callarea([{id:'a1',name:'一区'},{id:'a2',name:'二区'},{id:'a3',name:'三区'}])");
        return std::nullopt;
    });
    Open();
    PickGameAndWait(3);
    EXPECT_EQ(Items(kAreaNames), (TextArray{"一区", "二区", "三区"}));
    EXPECT_EQ(Items(kAreaIds), (TextArray{"a1", "a2", "a3"}));
}

TEST_F(PickListWindow, EmptyRepliesLeaveTheListsEmptyWithTheCompletionTexts)
{
    Open();
    PickGameAndWait(0);
    PickAreaAndWait(0);
    ASSERT_FALSE(Items(kServerNames).empty());

    SetOverride([](const LoopbackRequest&) { return std::optional<LoopbackReply>(LoopbackReply::Ok("")); });
    PickAreaAndWait(0);
    EXPECT_TRUE(Items(kServerNames).empty());
    EXPECT_TRUE(Items(kServerIds).empty());

    PickGameAndWait(0);
    for (const char* list : {kAreaNames, kAreaIds, kTypeNames, kTypeIds, kServerNames, kServerIds})
        EXPECT_TRUE(Items(list).empty()) << list;
    EXPECT_EQ(Bar(), "分区类型 列表载入完成！");

    // A reply without any game is no list of games: the game lists keep what they hold.
    form_.Control("状态").SetText("");
    const std::size_t all = catalogue_->Games().size();
    LoadAllGames(form_);
    for (const char* list : kEightGameLists)
        EXPECT_EQ(Items(list).size(), all) << list;
    EXPECT_EQ(Label(), "游戏名 列表载入完成！");
    EXPECT_EQ(Bar(), "游戏名 列表载入完成！");
    ChooseLetter("字母分类", 'Q' - 'A' + 1);  // the kept full list still serves the filter
    EXPECT_EQ(Items(kGameNames).size(), 8u);

    // With nothing to pick, the empty id is asked for.
    server_->ClearRequests();
    form_.Control(kGameNames).SetSelection(-1);
    PickGameAndWait(-1);
    std::vector<Text> targets = Targets();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_NE(targets[0].find("&id=&jsoncallback=callarea"), std::string::npos);
    EXPECT_NE(targets[1].find("?jsoncallback=calltype&gm=&jsoncallback=calltype"), std::string::npos);
}

TEST_F(PickListWindow, ALoadOutOfMemoryEndsWithItsCompletionText)
{
    {
        seams_test::RequestFailure failure("GETALLGAMESDATA", 1);
        Open();  // waits for the completion text
        EXPECT_EQ(failure.Failures(), 1);
    }
    EXPECT_TRUE(Items(kGameNames).empty());
    LoadAllGames(form_);
    ASSERT_FALSE(Items(kGameNames).empty());

    // The area and goods-type load fails at either of its requests, the server load at its own; the
    // next pick loads as ever.
    for (const char* request : {"gameType=GameAreas", "GameGetBizOfferTypeHandler", "gameType=GameServers"}) {
        SCOPED_TRACE(request);
        seams_test::RequestFailure failure(request, 1);
        PickGameAndWait(0);
        PickAreaAndWait(0);
        EXPECT_EQ(failure.Failures(), 1);
    }
    PickGameAndWait(0);
    PickAreaAndWait(0);
    EXPECT_FALSE(Items(kTypeNames).empty());
    EXPECT_FALSE(Items(kServerNames).empty());
}

TEST_F(PickListWindow, OverlappingGamePicksLeaveTheListsOfTheLastPick)
{
    Open();
    int first = IndexOfGame("天龙八部"), second = IndexOfGame("剑灵");
    const ReplicaGame& slow = *catalogue_->FindGame(Items(kGameIds)[first]);
    const ReplicaGame& fast = *catalogue_->FindGame(Items(kGameIds)[second]);
    // The first game's areas come late, after the second game's lists are in.
    SetOverride([this, id = slow.id](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find("GameAreas") == std::string::npos || r.target.find("id=" + id) == std::string::npos)
            return std::nullopt;
        ReplicaPage page = routes_.Serve(ParseReplicaRequest(r.method, r.target));
        LoopbackReply reply = LoopbackReply::Ok(page.body);
        reply.delayMs = 800;
        return reply;
    });
    server_->ClearRequests();
    form_.Control("状态").SetText("");
    Pick(kGameNames, first);
    ASSERT_TRUE(PumpUntil([&] { return server_->RequestCount() >= 1; }));
    Pick(kGameNames, second);
    ASSERT_TRUE(PumpUntil([&] { return Label() == "分区类型 列表载入完成！"; }, 10000));
    PumpFor(1500);  // the late reply has come and gone

    TextArray names, ids;
    for (const ReplicaArea& a : fast.areas) {
        names.push_back(a.name);
        ids.push_back(a.id);
    }
    EXPECT_EQ(Items(kAreaNames), names);
    EXPECT_EQ(Items(kAreaIds), ids);
    ASSERT_EQ(Items(kTypeIds).size(), fast.goodsTypes.size());
    EXPECT_EQ(Items(kTypeIds)[0], fast.goodsTypes[0].id);
    // The first pick's worker stopped at its late reply: no goods types were asked for its game.
    for (const Text& t : Targets())
        EXPECT_EQ(t.find("gm=" + slow.id), std::string::npos) << t;
}

TEST_F(PickListWindow, AllGamesOnTheWindowThreadKeepsTheWindowAnswering)
{
    Open();
    SetOverride([this](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find("GETALLGAMESDATAv31") == std::string::npos)
            return std::nullopt;
        LoopbackReply reply = LoopbackReply::Ok(AllGamesPage(*catalogue_));
        reply.delayMs = 1500;
        return reply;
    });
    // While "全部游戏ALL" waits for the platform, another thread's call to the window is answered.
    server_->ClearRequests();
    std::atomic<bool> answered{false};
    std::thread other([&] {
        if (PumpUntil([&] { return server_->RequestCount() >= 1; }, 5000)) {
            form_.Control("状态").GetText();
            answered = Items(kGameNames).size() == 8u;  // the reload has not written yet
        }
    });
    ChooseLetter("字母分类", 'Q' - 'A' + 1);
    ChooseLetter("字母分类", 0);
    other.join();
    EXPECT_TRUE(answered.load());
    EXPECT_EQ(Items(kGameNames).size(), catalogue_->Games().size());
}

TEST_F(PickListWindow, AnAreaOfThePreviousGamePickedLateGetsNoServers)
{
    Open();
    int first = IndexOfGame("问道"), second = IndexOfGame("诛仙");
    PickGameAndWait(first);
    PickAreaAndWait(0);
    ASSERT_FALSE(Items(kServerNames).empty());
    const TextArray oldAreaIds = Items(kAreaIds);

    // The second game's areas come late; meanwhile an area of the first game, still shown, is picked.
    const Text secondId = Items(kGameIds)[second];
    SetOverride([this, secondId](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find("GameAreas") == std::string::npos || r.target.find("id=" + secondId) == std::string::npos)
            return std::nullopt;
        ReplicaPage page = routes_.Serve(ParseReplicaRequest(r.method, r.target));
        LoopbackReply reply = LoopbackReply::Ok(page.body);
        reply.delayMs = 700;
        return reply;
    });
    server_->ClearRequests();
    form_.Control("状态").SetText("");
    Pick(kGameNames, second);
    ASSERT_TRUE(PumpUntil([&] { return server_->RequestCount() >= 1; }));
    Pick(kAreaNames, 1);
    ASSERT_TRUE(PumpUntil([&] { return Label() == "分区类型 列表载入完成！"; }, 10000));
    PumpFor(500);

    const ReplicaGame& game = *catalogue_->FindGame(secondId);
    ASSERT_EQ(Items(kAreaIds).size(), game.areas.size());
    EXPECT_NE(Items(kAreaIds), oldAreaIds);
    EXPECT_TRUE(Items(kServerNames).empty());
    EXPECT_TRUE(Items(kServerIds).empty());
}

TEST_F(PickListWindow, OverlappingGameLoadsLeaveEveryListWhole)
{
    Open(false);
    auto other = GeneratedCatalogue(300);
    auto asked = std::make_shared<std::atomic<int>>(0);
    // The first request to arrive is answered late with the sample games, the second at once with
    // made-up ones.
    SetOverride([this, asked, other](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.target.find("GETALLGAMESDATAv31") == std::string::npos)
            return std::nullopt;
        if ((*asked)++ == 0) {
            LoopbackReply reply = LoopbackReply::Ok(AllGamesPage(*catalogue_));
            reply.delayMs = 700;
            return reply;
        }
        return LoopbackReply::Ok(AllGamesPage(*other));
    });
    StartLoadAllGames(form_);
    ASSERT_TRUE(PumpUntil([&] { return server_->RequestCount() >= 1; }));
    StartLoadAllGames(form_);
    ASSERT_TRUE(PumpUntil([&] { return Label() == "游戏名 列表载入完成！"; }, 10000));
    PumpFor(1200);

    PickItems a = PageOrder(*catalogue_), b = PageOrder(*other);
    TextArray names = Items(kGameNames);
    const PickItems& winner = names == a.names ? a : b;
    EXPECT_TRUE(names == a.names || names == b.names);
    for (int page = 0; page < 2; ++page) {
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 0]), winner.names);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 1]), winner.ids);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 2]), winner.names);
        EXPECT_EQ(Items(kEightGameLists[page * 4 + 3]), winner.ids);
    }
}

}  // namespace
