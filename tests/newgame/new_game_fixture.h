#pragma once
// NewGameWindow against a loopback server of the test's own: the platform's all-games reply, pages of
// the 17173 test list (UTF-8, built with the replica's page builder) and latest-deal pages per game;
// waits shortened, the shell's "open" recorded.
#include "client/new_game_window.h"
#include "client/program_state.h"
#include "replica/deal_pages.h"
#include "replica/new_game_pages.h"
#include "support/loopback_http_server.h"
#include "support/pump.h"
#include "support/seam_recorders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace newgame_test {

using replica::NewGameEntry;

// A listed game: `name` with links that tell it apart.
inline NewGameEntry Game(std::string name, std::string date = "2015-01-15")
{
    NewGameEntry g;
    g.testDate = std::move(date);
    g.reviewLink = "/game-info-" + std::to_string(name.size()) + ".html";
    g.name = std::move(name);
    g.phase = "公测";
    g.code = "不需要";
    g.developerLink = "http://newgame.example/dev.html";
    g.developer = "开发商甲";
    g.operatorLink = "http://newgame.example/op.html";
    g.operatorName = "运营商乙";
    return g;
}

// The all-games reply listing these (name, id) games in one group, then the empty WEBG group.
inline std::string AllGamesReply(const std::vector<std::pair<std::string, std::string>>& games)
{
    std::string out = "callgame([{name:'A',list:[";
    for (std::size_t i = 0; i < games.size(); ++i)
        out += std::string(i ? "," : "") + "{id:'" + games[i].second + "',name:'" + games[i].first + "',spell:'X'}";
    return out + "]},{name:'WEBG',list:[]}])";
}

// The latest-deal pages of one game: the prices of each page.
struct DealPages {
    std::vector<std::vector<std::string>> prices;
    std::string footer;    // the footer's count; empty: the number of deals
    unsigned delayMs = 0;  // every reply for this game waits this long
    std::string announced; // non-empty: the page count every page announces
};

class NewGameTest : public ::testing::Test {
protected:
    NewGameTest() : server([this](const LoopbackRequest& r) { return Serve(r); }) {}

    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        for (const char* name : {"QUOVANTA_AJAX_HOST", "QUOVANTA_NEWGAME_HOST", "QUOVANTA_DEALLIST_HOST"})
            SetEnvironmentVariableA(name, server.HostAndPort().c_str());
        SetEnvironmentVariableA("QUOVANTA_GIFT_HOST", "gift.test");
    }

    void TearDown() override
    {
        if (form.IsOpen()) form.Destroy();
        PumpFor(50);
        for (const char* name :
             {"QUOVANTA_AJAX_HOST", "QUOVANTA_NEWGAME_HOST", "QUOVANTA_DEALLIST_HOST", "QUOVANTA_GIFT_HOST"})
            SetEnvironmentVariableA(name, nullptr);
    }

    // Opens the window and waits for its platform list.
    void Open()
    {
        form = LoadForm(NewGameWindowLayout(), NewGameWindowEvents());
        ASSERT_TRUE(form.IsOpen());
        ASSERT_TRUE(PumpUntil([&] { return !NewGameWindowActivity(form).platformLoading; }, 10000));
    }

    // --- What the server answers ---

    void ServePlatform(const std::vector<std::pair<std::string, std::string>>& games, unsigned delayMs = 0)
    {
        std::lock_guard<std::mutex> guard(lock);
        allGames = AllGamesReply(games);
        allGamesDelayMs = delayMs;
    }
    void ServeListPage(int page, const std::vector<NewGameEntry>& games, unsigned delayMs = 0)
    {
        std::lock_guard<std::mutex> guard(lock);
        listPages[page] = replica::NewGameListPageHtml(games);
        listDelayMs[page] = delayMs;
    }
    void ServeDeals(const std::string& id, DealPages pages)
    {
        std::lock_guard<std::mutex> guard(lock);
        deals[id] = std::move(pages);
    }

    LoopbackReply Serve(const LoopbackRequest& r)
    {
        std::lock_guard<std::mutex> guard(lock);
        const std::string path = r.Path();
        if (path == "/ajax.axd") {
            LoopbackReply reply = LoopbackReply::Ok(allGames);
            reply.delayMs = allGamesDelayMs;
            return reply;
        }
        if (path == "/testing-list.html") {
            const int page = std::atoi(QueryKey(r.target, "page").c_str());
            auto it = listPages.find(page);
            LoopbackReply reply = LoopbackReply::Ok(
                it != listPages.end() ? it->second : replica::NewGameListPageHtml({}), "text/html; charset=utf-8");
            reply.delayMs = listDelayMs.count(page) ? listDelayMs[page] : 0;
            return reply;
        }
        auto it = deals.find(QueryKey(r.target, "gm"));
        if (it == deals.end()) return LoopbackReply::Ok(std::string());
        const DealPages& game = it->second;
        const int page = std::atoi(QueryKey(r.target, "pg").c_str());
        std::vector<replica::SampleDeal> onPage;
        int total = 0;
        for (const auto& p : game.prices) total += static_cast<int>(p.size());
        if (page >= 1 && page <= static_cast<int>(game.prices.size())) {
            for (const std::string& price : game.prices[static_cast<std::size_t>(page - 1)]) {
                replica::SampleDeal d = replica::MakeSampleDeal(static_cast<int>(onPage.size()), "新游", "游戏币");
                d.price = price;
                onPage.push_back(d);
            }
        }
        // The footer tells the pages apart: "<footer>-<page>" when a footer is given.
        const std::string footer =
            game.footer.empty() ? std::to_string(total) : game.footer + "-" + std::to_string(page);
        std::string html = replica::DealListPageHtml(onPage, static_cast<int>(game.prices.size()), page, footer);
        if (!game.announced.empty()) {
            const std::string count = "，共 " + std::to_string(game.prices.size()) + " 页";
            const std::size_t at = html.find(count);
            if (at != std::string::npos) html.replace(at, count.size(), "，共 " + game.announced + " 页");
        }
        LoopbackReply reply = LoopbackReply::Ok(html);
        reply.delayMs = game.delayMs;
        return reply;
    }

    // --- Looking at the window ---

    void Click(const char* control) { form.Raise(control, Event::Click); }
    void ColumnClick(int column)
    {
        EventArgs a;
        a.column = column;
        form.Raise("新游测试行情", Event::ColumnClick, a);
    }
    Control List() const { return form.Control("新游测试行情"); }
    Text Caption(const char* control) const { return form.Control(control).GetText(); }
    bool Enabled(const char* control) const { return form.Control(control).Enabled(); }
    Text Part(int part) const { return form.Control("状态条1").PartText(part); }

    // The enabled state of 获取17173列表, 向上, 向下, 获取51数据, 暂停继续, 停止 as "1" and "0".
    std::string Buttons() const
    {
        std::string s;
        for (const char* b : {"超级按钮_获取17173列表", "超级按钮_向上", "超级按钮_向下", "超级按钮_获取51数据",
                              "超级按钮_暂停继续", "超级按钮_停止"})
            s += Enabled(b) ? '1' : '0';
        return s;
    }

    // The row whose game name is `name`, -1 when none.
    int RowOf(const std::string& name) const
    {
        Control list = List();
        for (int r = 0; r < list.RowCount(); ++r)
            if (list.Cell(r, kNewGameName) == name) return r;
        return -1;
    }
    Text CellOf(const std::string& name, int column) const
    {
        const int r = RowOf(name);
        return r < 0 ? Text("<no row>") : List().Cell(r, column);
    }

    bool WaitPageLoaded(int timeoutMs = 10000)
    {
        return PumpUntil([&] { return !NewGameWindowActivity(form).pageLoading; }, timeoutMs);
    }
    // Loads a page with the given button and waits for its matching to end.
    void LoadWith(const char* button)
    {
        Click(button);
        ASSERT_TRUE(WaitPageLoaded());
    }
    bool WaitRunEnded(int timeoutMs = 20000)
    {
        return PumpUntil([&] { return !NewGameWindowActivity(form).runActive; }, timeoutMs);
    }
    bool WaitForRequests(std::size_t count, int timeoutMs = 10000)
    {
        return PumpUntil([&] { return server.RequestCount() >= count; }, timeoutMs);
    }

    // The targets of the requests for the deal lists, in order.
    std::vector<std::string> DealTargets() const
    {
        std::vector<std::string> t;
        for (const auto& r : server.Requests())
            if (r.Path().rfind("/list/", 0) == 0) t.push_back(r.target);
        return t;
    }
    std::vector<std::string> ListTargets() const
    {
        std::vector<std::string> t;
        for (const auto& r : server.Requests())
            if (r.Path() == "/testing-list.html") t.push_back(r.target);
        return t;
    }

    std::mutex lock;
    std::string allGames;
    unsigned allGamesDelayMs = 0;
    std::map<int, std::string> listPages;
    std::map<int, unsigned> listDelayMs;
    std::map<std::string, DealPages> deals;
    LoopbackHttpServer server;
    seams_test::WaitRecorder waits;
    seams_test::ShellOpenRecorder shell;
    Form form;
};

}  // namespace newgame_test
