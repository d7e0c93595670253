#pragma once
// The main window against the replica on the loopback interface, for the tests of page 2: the seams
// answer boxes, shorten waits and record sound; a test may answer some requests itself (a slow page,
// a failing page, another listing).
#include "client/main_window.h"
#include "client/monitor_page.h"
#include "client/program_state.h"
#include "helpers/listview_colours.h"
#include "replica/listing_pages.h"
#include "replica/sample_data.h"
#include "support/pump.h"
#include "support/replica_loopback.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace monitor_test {

inline constexpr char kGames[] = "游戏列表_游戏名_显1";
inline constexpr char kTypes[] = "商品类型_类型_显1";
inline constexpr char kTypeLinks[] = "商品类型_类型_隐1";
inline constexpr char kOperators[] = "运营商_显";
inline constexpr char kOperatorLinks[] = "运营商_隐";
inline constexpr char kAreas[] = "游戏分区_大区_显1";
inline constexpr char kAreaLinks[] = "游戏分区_大区_隐1";
inline constexpr char kServers[] = "游戏伺服_服务器_显1";
inline constexpr char kServerLinks[] = "游戏伺服_服务器_隐1";
inline constexpr char kOffers[] = "成交信息1";

class MonitorPageTest : public ::testing::Test {
protected:
    using Override = std::function<std::optional<LoopbackReply>(const LoopbackRequest&)>;

    MonitorPageTest()
        : replica_([this](const LoopbackRequest& r) -> std::optional<LoopbackReply> {
              Override o;
              {
                  std::lock_guard<std::mutex> guard(lock_);
                  o = override_;
              }
              return o ? o(r) : std::nullopt;
          })
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(replica_.Start());
        form = LoadMainWindow();
        ASSERT_TRUE(form.IsOpen());
        // The version check of page 5 is not what these tests are about.
        form.Control("时钟1").SetInterval(0);
        ASSERT_TRUE(PumpUntil([&] { return form.Control(kGames).ItemCount() > 0; }, 15000));
        form.Control("选择夹1").SetSelection(2);
    }

    void TearDown() override
    {
        ClearListViewColours();
        form.Destroy();
        MainWindow = Form();
        PumpUntil([] { return !MonitorPollRunning() && !UnsoldQueryRunning() && MonitorPickLoadsRunning() == 0; },
                  10000);
        SetOverride({});
    }

    void SetOverride(Override o)
    {
        std::lock_guard<std::mutex> guard(lock_);
        override_ = std::move(o);
    }

    Control C(const char* name) const { return form.Control(name); }
    Text Caption(const char* name) const { return form.Control(name).GetText(); }
    TextArray Items(const char* list) const { return form.Control(list).Items(); }

    int IndexOf(const char* list, const std::string& item) const
    {
        const TextArray items = Items(list);
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == item) return static_cast<int>(i);
        return -1;
    }

    // The user's pick: the selection, then the event the list raises.
    void Pick(const char* list, int index)
    {
        form.Control(list).SetSelection(index);
        EventArgs args;
        args.index = index;
        form.Raise(list, Event::SelectionChanged, args);
    }

    bool WaitLoads(int timeoutMs = 10000)
    {
        const bool done = PumpUntil([] { return MonitorPickLoadsRunning() == 0; }, timeoutMs);
        PumpFor(20);  // the last queued status writes
        return done;
    }

    // Picks by name and waits for the load it starts.
    void PickNamed(const char* list, const std::string& name)
    {
        const int at = IndexOf(list, name);
        ASSERT_GE(at, 0) << name;
        Pick(list, at);
        ASSERT_TRUE(WaitLoads());
    }

    // 问道 / 游戏币 / its first area / the first server of it: the server of 2 pages of 3 and 2 offers.
    void ChooseSampleServer()
    {
        const ReplicaGame& game = SampleGame();
        PickNamed(kGames, game.name);
        PickNamed(kTypes, game.goodsTypes[0].name);
        PickNamed(kAreas, game.areas[0].name);
        ASSERT_EQ(Items(kServers).size(), game.areas[0].servers.size());
        Pick(kServers, 0);
    }

    static const ReplicaGame& SampleGame()
    {
        return *SampleCatalogue()->FindGame(ReplicaId("game:问道"));
    }

    void Click(const char* control) { form.Raise(control, Event::Click); }

    void RunUnsoldQuery()
    {
        Click("未交易信息");
        ASSERT_TRUE(PumpUntil([] { return !UnsoldQueryRunning(); }, 20000));
        PumpFor(20);
    }

    void SetBounds(const char* unitBelow, const char* unitAbove, const char* priceBelow, const char* priceAbove)
    {
        C("编辑框_单价小于").SetText(unitBelow);
        C("编辑框_单价大于").SetText(unitAbove);
        C("编辑框_价格小于").SetText(priceBelow);
        C("编辑框_价格大于").SetText(priceAbove);
    }

    // The rows of the offer list, each as its cells.
    std::vector<TextArray> Rows(const char* list = kOffers) const { return form.Control(list).AllRows(); }
    TextArray Column(int column, const char* list = kOffers) const { return form.Control(list).ColumnCells(column); }

    std::vector<LoopbackRequest> Requests() { return replica_.Server().Requests(); }
    std::size_t ListingRequests()
    {
        std::size_t n = 0;
        for (const LoopbackRequest& r : Requests())
            if (r.Path().rfind("/list/", 0) == 0) ++n;
        return n;
    }

    std::vector<seams_test::MessageBoxCall> Boxes(const std::string& title = {}) const
    {
        std::vector<seams_test::MessageBoxCall> out;
        for (const auto& b : boxes.Calls())
            if (title.empty() || b.title == title) out.push_back(b);
        return out;
    }

    std::mutex lock_;
    Override override_;
    ReplicaLoopback replica_;
    seams_test::MessageBoxRecorder boxes;
    seams_test::WaitRecorder waits;
    seams_test::SoundRecorder sounds;
    seams_test::ShellOpenRecorder shell;
    Form form;
};

}  // namespace monitor_test
