// The price monitor: start and stop, the first check, the poll at a tick, the alert with its box, sound
// and coloured cell, and the monitor's generations (a stop or a restart during a poll).
#include "monitor_fixture.h"

#include <gmock/gmock.h>

#include <algorithm>

namespace monitor_test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

// The first page of the sample server holds, in list order: 0.8500 / 425.00, 0.9872 / 1,234.00,
// 0.9600 / 96.00.

class PriceMonitorTest : public MonitorPageTest {
protected:
    void SetUp() override
    {
        MonitorPageTest::SetUp();
        ChooseSampleServer();
    }

    void TearDown() override
    {
        if (Caption("超级按钮_监控") == "停止监控") Click("超级按钮_监控");
        MonitorPageTest::TearDown();
    }

    std::vector<seams_test::MessageBoxCall> Alerts() const { return Boxes("注意"); }

    void Tick()
    {
        form.Raise("监控刷新时间", Event::Tick);
        ASSERT_TRUE(PumpUntil([] { return !MonitorPollRunning(); }, 10000));
        PumpFor(20);
    }
};

TEST_F(PriceMonitorTest, TheStartValuesNeverMatchAndTheMonitorPolls)
{
    EXPECT_EQ(Caption("组合框_监控时间"), "间隔 10 秒监控");
    EXPECT_EQ(Caption("组合框_报警模式"), "弹窗报警");
    EXPECT_EQ(Caption("编辑框_价格小于"), "10000");
    C("组合框_监控时间").SetSelection(0);
    Click("超级按钮_监控");
    EXPECT_TRUE(Alerts().empty());
    EXPECT_EQ(Caption("超级按钮_监控"), "停止监控");
    EXPECT_EQ(Caption("透明标签1"), "开始监控");
    EXPECT_EQ(Caption("标签_监控"), "正在监控信息中...");
    EXPECT_EQ(C("状态条1").PartText(0), "正在监控信息！");
    EXPECT_EQ(C("状态条1").PartText(1), "正在监控信息！");
    EXPECT_EQ(Caption("状态"), "正在监控订单中...");
    EXPECT_EQ(C("监控刷新时间").Interval(), 5000);
    // The first check filled the list from the listing's first page, numbered from 1.
    EXPECT_EQ(Column(0), (TextArray{"3", "2", "1"}));
    EXPECT_EQ(Caption("标签_最低单价1"), "0.8500");
    EXPECT_EQ(Caption("标签_交易总金额1"), "1755 元");
    EXPECT_THAT(Caption("查询目标1"), HasSubstr(">>"));

    // Each poll examines its own page: the work lists hold one page, however many polls ran.
    Tick();
    Tick();
    EXPECT_EQ(Column(0, "单价_隐2"), (TextArray{"0.8500", "0.9872", "0.9600"}));
    EXPECT_EQ(Column(0, "总合_隐2"), (TextArray{"425.00", "1,234.00", "96.00"}));
    EXPECT_TRUE(Alerts().empty());

    Click("超级按钮_监控");
    EXPECT_EQ(Caption("超级按钮_监控"), "开始监控");
    EXPECT_EQ(Caption("透明标签1"), "停止监控");
    EXPECT_EQ(Caption("标签_监控"), "已停止监控信息...");
    EXPECT_EQ(C("状态条1").PartText(0), "停止监控信息！");
    EXPECT_EQ(C("监控刷新时间").Interval(), 0);
    EXPECT_EQ(ActiveMonitorGeneration(), 0u);
}

TEST_F(PriceMonitorTest, AnAlertAtTheFirstCheckStopsTheMonitorAndColoursTheFirstMatchingRow)
{
    struct Case {
        const char* name;
        const char* unitBelow;
        const char* unitAbove;
        int row;  // -1: no alert
    } cases[] = {
        {"three offers inside: one alert, the first row", "2", "0", 0},
        {"only the third row inside", "0.97", "0.95", 2},
        {"a bound equal to the price", "0.85", "0", -1},
        {"within 1e-7 of the price", "0.85000009", "0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = Alerts().size();
        SetBounds(c.unitBelow, c.unitAbove, "10000", "0");
        Click("超级按钮_监控");
        if (c.row < 0) {
            EXPECT_EQ(Alerts().size(), before);
            EXPECT_EQ(Caption("超级按钮_监控"), "停止监控");
            Click("超级按钮_监控");
            continue;
        }
        const auto alerts = Alerts();
        ASSERT_EQ(alerts.size(), before + 1);
        const Text unit = Column(5)[static_cast<std::size_t>(c.row)];
        EXPECT_EQ(alerts.back().text, "发现新目标订单，单价为： " + unit);
        EXPECT_EQ(alerts.back().style, 0u);
        EXPECT_EQ(Caption("超级按钮_监控"), "开始监控");
        EXPECT_EQ(Caption("透明标签1"), "停止监控");
        // Raised by the first check: the stop texts of the start follow it.
        EXPECT_EQ(Caption("标签_监控"), "已停止监控信息...");
        EXPECT_EQ(C("状态条1").PartText(1), "停止监控信息！");
        EXPECT_EQ(C("监控刷新时间").Interval(), 0);
        EXPECT_EQ(ActiveMonitorGeneration(), 0u);
        // Red on yellow in the unit-price cell, through the list's own parent (the tab page).
        HWND list = C(kOffers).Handle();
        const auto& table = ListViewColourTable::Instance();
        EXPECT_EQ(table.Entries(), (std::vector<CellColour>{{c.row, 5, 0x000000FF, 0x0000FFFF}}));
        EXPECT_EQ(table.ParentWindow(), GetParent(list));
        EXPECT_NE(table.ParentWindow(), form.Handle());
        EXPECT_TRUE(table.Subclassed());
        int halfSecond = 0;
        for (const auto& w : waits.Calls()) halfSecond += w.milliseconds == 500;
        EXPECT_GE(halfSecond, 1);
    }
    // A new start clears the colours.
    SetBounds("", "0", "10000", "0");
    Click("超级按钮_监控");
    EXPECT_TRUE(ListViewColourTable::Instance().Entries().empty());
}

TEST_F(PriceMonitorTest, MusicAlarmPlaysBeforeTheBoxAndStopsAfterItPopUpPlaysNothing)
{
    SetBounds("1", "0", "10000", "0");
    C("组合框_报警模式").SetSelection(1);
    Click("超级按钮_监控");
    const auto played = sounds.Calls();
    ASSERT_EQ(played.size(), 2u);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_TRUE(played[0].play);
    EXPECT_THAT(played[0].file, EndsWith("\\alarm.mp3"));
    EXPECT_FALSE(played[1].play);
    EXPECT_LT(played[0].sequence, Alerts()[0].sequence);
    EXPECT_LT(Alerts()[0].sequence, played[1].sequence);

    C("组合框_报警模式").SetSelection(0);
    Click("超级按钮_监控");
    EXPECT_EQ(Alerts().size(), 2u);
    EXPECT_EQ(sounds.Calls().size(), 2u);
}

TEST_F(PriceMonitorTest, APollInsideTheBoundsHandsOverToTheFullCheck)
{
    Click("超级按钮_监控");
    ASSERT_EQ(Caption("超级按钮_监控"), "停止监控");
    // Bounds around the total of 1,234.00 only (read as 1234).
    SetBounds("2", "0", "1234.5", "1233.5");
    replica_.Server().ClearRequests();
    Tick();
    // The poll's page, then the full check's.
    EXPECT_EQ(ListingRequests(), 2u);
    const auto alerts = Alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text, "发现新目标订单，单价为： 0.9872元/万金");
    EXPECT_EQ(Caption("标签_监控"), "发现新订单单价： 0.9872元/万金");
    EXPECT_EQ(C("状态条1").PartText(1), "发现新订单！");
    EXPECT_EQ(Caption("超级按钮_监控"), "开始监控");
    EXPECT_EQ(C("监控刷新时间").Interval(), 0);
    EXPECT_EQ(ListViewColourTable::Instance().Entries(), (std::vector<CellColour>{{1, 5, 0x000000FF, 0x0000FFFF}}));
    // The alert ended the monitor: a late tick does nothing.
    Tick();
    EXPECT_EQ(ListingRequests(), 2u);
}

TEST_F(PriceMonitorTest, ATickPassesWhileAPollRuns)
{
    Click("超级按钮_监控");
    SetOverride([](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
        if (r.Path().rfind("/list/", 0) != 0) return std::nullopt;
        ReplicaPage page = AllReplicaRoutes().Serve(ParseReplicaRequest(r.method, r.target, r.Header("Host")));
        LoopbackReply reply = LoopbackReply::Ok(page.body);
        reply.delayMs = 500;
        return reply;
    });
    replica_.Server().ClearRequests();
    form.Raise("监控刷新时间", Event::Tick);
    form.Raise("监控刷新时间", Event::Tick);
    ASSERT_TRUE(MonitorPollRunning());
    ASSERT_TRUE(PumpUntil([] { return !MonitorPollRunning(); }, 10000));
    EXPECT_EQ(ListingRequests(), 1u);
    Tick();
    EXPECT_EQ(ListingRequests(), 2u);
}

TEST_F(PriceMonitorTest, AStopOrARestartDuringAPollGivesNoAlert)
{
    for (bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restart" : "stop");
        SetBounds("", "0", "10000", "0");
        Click("超级按钮_监控");
        ASSERT_EQ(Caption("超级按钮_监控"), "停止监控");
        SetBounds("2", "0", "10000", "0");  // every offer inside from now on
        SetOverride([](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
            if (r.Path().rfind("/list/", 0) != 0) return std::nullopt;
            ReplicaPage page = AllReplicaRoutes().Serve(ParseReplicaRequest(r.method, r.target, r.Header("Host")));
            LoopbackReply reply = LoopbackReply::Ok(page.body);
            reply.delayMs = 600;
            return reply;
        });
        replica_.Server().ClearRequests();
        form.Raise("监控刷新时间", Event::Tick);
        ASSERT_TRUE(PumpUntil([&] { return ListingRequests() == 1; }, 5000));
        Click("超级按钮_监控");  // stop while the poll waits for its page
        ASSERT_EQ(Caption("超级按钮_监控"), "开始监控");
        if (restart) {
            SetBounds("", "0", "10000", "0");  // the new start matches nothing
            Click("超级按钮_监控");
            ASSERT_EQ(Caption("超级按钮_监控"), "停止监控");
        }
        ASSERT_TRUE(PumpUntil([] { return !MonitorPollRunning(); }, 10000));
        PumpFor(50);
        EXPECT_TRUE(Alerts().empty());
        EXPECT_TRUE(Rows("单价_隐2").empty());
        EXPECT_EQ(Caption("超级按钮_监控"), restart ? "停止监控" : "开始监控");
        SetOverride({});
        if (restart) Click("超级按钮_监控");
    }
}

// The alert waits half a second before its box: a restart meanwhile silences it, and a sort meanwhile
// moves its coloured cell along with its offer.
TEST_F(PriceMonitorTest, DuringTheAlertsWaitARestartSilencesItAndASortTakesItsColourAlong)
{
    struct ActAtTheAlertsWait final : WaitSeam {
        std::function<void()> act;
        void Wait(int milliseconds) override
        {
            if (milliseconds != 500 || !act) return;
            auto now = std::move(act);
            act = nullptr;
            now();
        }
    } seam;
    WaitSeam* previous = SetWaitSeam(&seam);
    C("透明标签_排序1").SetText("降");

    // Only the third row (0.9600, 96.00) is inside; a click on 价格 sorts it to the top meanwhile.
    seam.act = [&] {
        EventArgs args;
        args.column = 4;
        form.Raise(kOffers, Event::ColumnClick, args);
    };
    SetBounds("0.97", "0.95", "10000", "0");
    Click("超级按钮_监控");
    ASSERT_EQ(Alerts().size(), 1u);
    const TextArray units = Column(5);
    const auto moved = std::find(units.begin(), units.end(), Text("0.9600元/万金"));
    ASSERT_NE(moved, units.end());
    EXPECT_EQ(moved - units.begin(), 0);
    EXPECT_EQ(ListViewColourTable::Instance().Entries(),
              (std::vector<CellColour>{{static_cast<int>(moved - units.begin()), 5, 0x000000FF, 0x0000FFFF}}));

    // Stopped and started again (matching nothing) during the wait: the old start raises nothing.
    seam.act = [&] {
        Click("超级按钮_监控");
        SetBounds("", "0", "10000", "0");
        Click("超级按钮_监控");
    };
    SetBounds("2", "0", "10000", "0");
    Click("超级按钮_监控");
    EXPECT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Caption("超级按钮_监控"), "停止监控");
    EXPECT_TRUE(ListViewColourTable::Instance().Entries().empty());
    SetWaitSeam(previous);
}

TEST_F(PriceMonitorTest, TheSelectionMessagesComeBeforeStartingAndStopping)
{
    const char* const messages[] = {"请选择您要监控的游戏名！", "请选择您要监控的商品类型！",
                                    "请选择您要监控的游戏大区！", "请选择您要监控的游戏服务器！"};
    const char* const lists[] = {kGames, kTypes, kAreas, kServers};
    for (int missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(missing);
        const int kept = C(lists[missing]).Selection();
        C(lists[missing]).SetSelection(-1);
        Click("超级按钮_监控");
        ASSERT_FALSE(Boxes("警告").empty());
        EXPECT_EQ(Boxes("警告").back().text, messages[missing]);
        EXPECT_EQ(Boxes("警告").back().style, 0x30u);
        EXPECT_EQ(Caption("超级按钮_监控"), "开始监控");
        C(lists[missing]).SetSelection(kept);
    }
    // While monitoring, a missing server does not stop the monitor.
    Click("超级按钮_监控");
    ASSERT_EQ(Caption("超级按钮_监控"), "停止监控");
    C(kServers).SetSelection(-1);
    Click("超级按钮_监控");
    EXPECT_EQ(Boxes("警告").back().text, messages[3]);
    EXPECT_EQ(Caption("超级按钮_监控"), "停止监控");
    EXPECT_NE(ActiveMonitorGeneration(), 0u);
    C(kServers).SetSelection(0);
}

}  // namespace
}  // namespace monitor_test
