#pragma once
// A test window with the deal-query controls and the page-0 pick lists, a loopback server that serves
// latest-deal pages per game, and the seams that answer boxes and shorten waits.
#include "client/deal_query.h"
#include "client/deal_results.h"
#include "client/program_state.h"
#include "replica/deal_pages.h"
#include "runtime/workers.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dealquery_test {

using replica::SampleDeal;

// A deal with the given price and unit-price cells; the other texts tell deals apart by `tag`.
inline SampleDeal Deal(std::string tag, std::string price, std::string unitPrice,
                       std::string time = "2015-01-07 09:30:00")
{
    SampleDeal d;
    d.name = "商品" + tag;
    d.address = "http://trading.example/deal/" + tag + ".html";
    d.unitPrice = std::move(unitPrice);
    d.gameServer = "问道/电信一区/服" + tag + "/无";
    d.goodsType = "游戏币";
    d.price = std::move(price);
    d.dealTime = std::move(time);
    return d;
}

// `count` made-up deals whose names carry `prefix` and their index from 1.
inline std::vector<SampleDeal> Deals(const std::string& prefix, int count)
{
    std::vector<SampleDeal> deals;
    for (int i = 1; i <= count; ++i) deals.push_back(Deal(prefix + std::to_string(i), std::to_string(i), "1元"));
    return deals;
}

struct GamePages {
    std::vector<std::vector<SampleDeal>> pages;  // the deals of page 1, 2, ...
    std::string footer;                          // the footer's count; empty: the number of deals
    unsigned delayMs = 0;                        // every reply of this game waits this long
    int failingPage = 0;                         // this page (1 and up) is answered with an empty body
    std::string announcedPages;                  // non-empty: the page count every page announces
};

class DealQueryTest : public ::testing::Test {
protected:
    DealQueryTest()
        : server([this](const LoopbackRequest& r) { return Serve(r); })
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", server.HostAndPort().c_str());
        DealQueryBusy = 0;
        DealResultsSaved = 0;
        DateKey = "1-07";
        form = LoadForm(Layout(), Events());
        ASSERT_TRUE(form.IsOpen());
    }

    void TearDown() override
    {
        form.Destroy();
        SetEnvironmentVariableA("QUOVANTA_DEALLIST_HOST", nullptr);
    }

    static WindowLayout Layout()
    {
        using namespace ui;
        WindowLayout w{"成交量测试", {50, 50, 1000, 640}, true, {}};
        w.Add(Tab("选择夹1", {0, 0, 1000, 640},
                  {"5173成交量查询", "5173成交量统计", "5173价格监控", "游戏币装备 排行榜 交易行情", "留言口水",
                   "检查更新说明"}));
        w.Add(ListBox("游戏列表_游戏名_显", {6, 32, 240, 236}).In("选择夹1", 0));
        w.Add(ListBox("游戏列表_游戏名_编号", {6, 32, 240, 236}).In("选择夹1", 0).Hide());
        w.Add(ListBox("商品类型_类型_显", {6, 272, 240, 76}).In("选择夹1", 0));
        w.Add(ListBox("商品类型_类型_隐", {6, 272, 240, 76}).In("选择夹1", 0).Hide());
        w.Add(ListBox("游戏分区_大区_显", {6, 352, 118, 180}).In("选择夹1", 0));
        w.Add(ListBox("游戏分区_大区_隐", {6, 352, 118, 180}).In("选择夹1", 0).Hide());
        w.Add(ListBox("游戏伺服_服务器_显", {128, 352, 118, 180}).In("选择夹1", 0));
        w.Add(ListBox("游戏伺服_服务器_隐", {128, 352, 118, 180}).In("选择夹1", 0).Hide());
        w.Add(TransparentLabel("状态", "", {6, 536, 240, 16}).In("选择夹1", 0).Hide());
        AddDealQueryControls(w);
        w.Add(StatusBar("状态条1", {0, 592, 914, 30}, {520, 200, -1}));
        return w;
    }

    static EventTable Events()
    {
        EventTable events;
        BindDealQueryEvents(events);
        return events;
    }

    // The pick lists of page 0 with one game (and optionally area, server and goods type) chosen.
    void Choose(const std::string& gameId, const std::string& gameName, const std::string& area = {},
                const std::string& areaId = {}, const std::string& server = {}, const std::string& serverId = {},
                const std::string& type = {}, const std::string& typeId = {})
    {
        auto pick = [&](const char* visible, const char* hidden, const std::string& name, const std::string& id) {
            Control v = form.Control(visible), h = form.Control(hidden);
            v.ClearItems();
            h.ClearItems();
            v.AddItem("别的");
            h.AddItem("999");
            if (name.empty() && id.empty()) return;
            v.SetSelection(v.AddItem(name));
            h.SetSelection(h.AddItem(id));
        };
        pick("游戏列表_游戏名_显", "游戏列表_游戏名_编号", gameName, gameId);
        pick("游戏分区_大区_显", "游戏分区_大区_隐", area, areaId);
        pick("游戏伺服_服务器_显", "游戏伺服_服务器_隐", server, serverId);
        pick("商品类型_类型_显", "商品类型_类型_隐", type, typeId);
    }

    void ServeGame(const std::string& gameId, GamePages pages)
    {
        std::lock_guard<std::mutex> guard(lock);
        games[gameId] = std::move(pages);
    }

    LoopbackReply Serve(const LoopbackRequest& r)
    {
        GamePages game;
        {
            std::lock_guard<std::mutex> guard(lock);
            auto it = games.find(QueryKey(r.target, "gm"));
            if (it == games.end()) return LoopbackReply::Ok(std::string());
            game = it->second;
        }
        int total = 0;
        for (const auto& p : game.pages) total += static_cast<int>(p.size());
        const int page = std::atoi(QueryKey(r.target, "pg").c_str());
        if (page == game.failingPage) return LoopbackReply::Ok(std::string());
        const std::vector<SampleDeal> none;
        const auto& deals = page >= 1 && page <= static_cast<int>(game.pages.size()) ? game.pages[page - 1] : none;
        std::string html = replica::DealListPageHtml(deals, static_cast<int>(game.pages.size()), page,
                                                     game.footer.empty() ? std::to_string(total) : game.footer);
        if (!game.announcedPages.empty()) {
            const std::string count = "，共 " + std::to_string(game.pages.size()) + " 页";
            const std::size_t at = html.find(count);
            if (at != std::string::npos) html.replace(at, count.size(), "，共 " + game.announcedPages + " 页");
        }
        LoopbackReply reply = LoopbackReply::Ok(html);
        reply.delayMs = game.delayMs;
        return reply;
    }

    // Runs one query to its end on a worker while this thread handles the window.
    void RunQuery()
    {
        HANDLE worker = StartWorkerKept([f = form] { QueryLatestDeals(f); });
        ASSERT_NE(worker, nullptr);
        ASSERT_TRUE(WaitHandlePumping(worker, 30000));
        CloseHandle(worker);
    }

    // Waits for the server to have seen `count` requests while this thread handles the window (the
    // worker's control calls wait for it).
    bool WaitForRequests(std::size_t count, int timeoutMs)
    {
        return PumpUntil([&] { return server.RequestCount() >= count; }, timeoutMs);
    }

    void Click(const char* control) { form.Raise(control, Event::Click); }

    Text Caption(const char* control) const { return form.Control(control).GetText(); }
    Control List(const char* name = "成交信息") const { return form.Control(name); }

    std::vector<std::string> Targets() const
    {
        std::vector<std::string> t;
        for (const auto& r : server.Requests()) t.push_back(r.target);
        return t;
    }

    std::mutex lock;
    std::map<std::string, GamePages> games;
    LoopbackHttpServer server;
    seams_test::MessageBoxRecorder boxes;
    seams_test::WaitRecorder waits;
    Form form;
};

}  // namespace dealquery_test
