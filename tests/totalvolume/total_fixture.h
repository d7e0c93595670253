#pragma once
// A total-volume window on a loopback server that serves an all-games reply and the latest-deal pages
// of each game, with waits shortened and message boxes answered.
#include "client/total_volume_window.h"
#include "replica/deal_pages.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace totalvolume_test {

struct GamePages {
    std::vector<std::vector<std::string>> pages;  // the 价格 cells of the deals of page 1, 2, ...
    std::string footer;                           // the footer's count; empty: the number of deals
    unsigned delayMs = 0;                         // every deal-list reply of this game waits this long
};

struct Game {
    std::string id, name;
    GamePages pages;
};

// The all-games reply of the platform: groups of games, the empty WEBG group last.
inline std::string AllGamesReply(const std::vector<Game>& games)
{
    std::string out = "callgame([{name:'A',list:[";
    for (std::size_t i = 0; i < games.size(); ++i)
        out += (i ? ",{id:'" : "{id:'") + games[i].id + "',name:'" + games[i].name + "',spell:'X',isHot:'0'}";
    out += "]},{name:'WEBG',list:[]}])";
    return out;
}

class TotalVolumeTest : public ::testing::Test {
protected:
    TotalVolumeTest() : server([this](const LoopbackRequest& r) { return Serve(r); }) {}

    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", server.HostAndPort().c_str());
        SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", server.HostAndPort().c_str());
        TotalRunIdle = false;
    }

    void TearDown() override
    {
        for (Form& f : forms) f.Destroy();
        EXPECT_TRUE(PumpUntil([] { return TotalVolumeWorkersAlive() == 0; }, 15000)) << "a worker is left";
        SetEnvironmentVariableA("QUOVANTA_AJAX_HOST", nullptr);
        SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", nullptr);
    }

    void ServeGames(std::vector<Game> list, unsigned allGamesDelayMs = 0)
    {
        std::lock_guard<std::mutex> guard(lock);
        games = std::move(list);
        allGamesDelay = allGamesDelayMs;
    }

    LoopbackReply Serve(const LoopbackRequest& r)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (r.Path() == "/ajax.axd") {
            LoopbackReply reply = LoopbackReply::Ok(AllGamesReply(games));
            reply.delayMs = allGamesDelay;
            return reply;
        }
        const std::string gm = QueryKey(r.target, "gm");
        for (const Game& g : games) {
            if (g.id != gm) continue;
            const int page = std::atoi(QueryKey(r.target, "pg").c_str());
            int total = 0;
            for (const auto& p : g.pages.pages) total += static_cast<int>(p.size());
            std::vector<replica::SampleDeal> deals;
            if (page >= 1 && page <= static_cast<int>(g.pages.pages.size())) {
                int index = 0;
                for (const std::string& price : g.pages.pages[static_cast<std::size_t>(page - 1)]) {
                    replica::SampleDeal d = replica::MakeSampleDeal(index++, g.name, "游戏币");
                    d.price = price;
                    deals.push_back(d);
                }
            }
            LoopbackReply reply = LoopbackReply::Ok(replica::DealListPageHtml(
                deals, static_cast<int>(g.pages.pages.size()), page,
                g.pages.footer.empty() ? std::to_string(total) : g.pages.footer));
            reply.delayMs = g.pages.delayMs;
            return reply;
        }
        return LoopbackReply::Ok(std::string());
    }

    // Opens a window and waits until its game list has loaded.
    Form Open()
    {
        Form f = LoadTotalVolumeWindow();
        forms.push_back(f);
        EXPECT_TRUE(PumpUntil([&] { return f.Control("标签1").GetText() == "初始化完毕..."; }, 10000));
        return f;
    }

    // Waits (handling the window) until the run of `f` has finished.
    static bool WaitForEnd(const Form& f, int timeoutMs = 20000)
    {
        return PumpUntil([&] { return f.Control("标签1").GetText() == "完成"; }, timeoutMs);
    }

    // The deal-list requests the server has seen, in order.
    std::vector<std::string> DealRequests() const
    {
        std::vector<std::string> t;
        for (const auto& r : server.Requests())
            if (r.Path() == "/list/viewlastestdeallist.aspx") t.push_back(r.target);
        return t;
    }

    bool WaitForDealRequests(std::size_t count, int timeoutMs = 10000) const
    {
        return PumpUntil([&] { return DealRequests().size() >= count; }, timeoutMs);
    }

    static std::vector<TextArray> Rows(const Form& f) { return f.Control("超级列表框_5173游戏列表").AllRows(); }
    static Text Label(const Form& f) { return f.Control("标签1").GetText(); }
    static Text Caption(const Form& f, const char* control) { return f.Control(control).GetText(); }
    static bool Enabled(const Form& f, const char* control) { return f.Control(control).Enabled(); }

    std::mutex lock;
    std::vector<Game> games;
    unsigned allGamesDelay = 0;
    LoopbackHttpServer server;
    seams_test::MessageBoxRecorder boxes;
    seams_test::WaitRecorder waits;
    std::vector<Form> forms;
};

}  // namespace totalvolume_test
