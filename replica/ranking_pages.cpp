#include "replica/ranking_pages.h"

#include <cstdio>

extern "C" {
extern const unsigned char ReplicaRankChart[];
extern const unsigned ReplicaRankChart_size;
}

namespace {

constexpr const char* kCrLf = "\r\n";

const char* const kGames[] = {"地下城与勇士", "梦幻西游",   "魔兽世界(国服)", "剑灵",     "天龙八部",
                              "问道",         "穿越火线",   "英雄联盟",       "九阴真经", "剑侠情缘网络版三",
                              "热血传奇",     "征途",       "诛仙",           "龙之谷"};
constexpr int kGameCount = sizeof kGames / sizeof kGames[0];

const char* const kItems[] = {"+15 风暴之剑", "灵犀玉佩",   "紫色神兽蛋", "+12 龙牙短刀", "幽冥战甲",
                              "九转金丹",     "天蚕丝手套", "赤焰战马",   "星辰法杖",     "玄冰护符",
                              "破军战靴"};
constexpr int kItemCount = sizeof kItems / sizeof kItems[0];

std::string GameLink(const std::string& host, int game)
{
    return "<a href=\"http://" + host + "/ntgame/5173/game/" + std::to_string(game + 1) + ".htm\" target=\"_blank\">" +
           kGames[game] + "</a>";
}

// A price with a blank between the thousands, as the ranking pages write it: "12 800 元".
std::string SpacedYuan(int yuan)
{
    std::string digits = std::to_string(yuan);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out + " 元";
}

std::string Entry(int rank, const std::string& cells)
{
    return "<li><div class=\"r_num\">" + std::to_string(rank) + "</div>" + cells + "</li>" + kCrLf;
}

}  // namespace

namespace replica {

const std::vector<RankingWeek>& RankingWeeks()
{
    static const std::vector<RankingWeek> weeks = {
        {"/ntgame/5173/index.htm", "0112-0118", " 2015年1月12日-1月18日", "2015年第3周"},
        {"/ntgame/5173/2015/0105-0111.htm", "0105-0111", " 2015年1月5日-1月11日", "2015年第2周"},
        {"/ntgame/5173/2014/1229-0104.htm", "1229-0104", " 2014年12月29日-2015年1月4日", "2015年第1周"},
        {"/ntgame/5173/2014/1222-1228.htm", "1222-1228", " 2014年12月22日-12月28日", "2014年第52周"},
        {"/ntgame/5173/2013rich/1230-0105.htm", "1230-0105", " 2013年12月30日-2014年1月5日", "2014年第1周"},
        {"/ntgame/5173/2013rich/1223-1229.htm", "1223-1229", " 2013年12月23日-12月29日", "2013年第52周"},
    };
    return weeks;
}

std::string RankingPageHtml(const RankingWeek& week, const std::string& host)
{
    const auto& weeks = RankingWeeks();
    int w = 0;
    while (w < static_cast<int>(weeks.size()) && weeks[static_cast<std::size_t>(w)].path != week.path) ++w;
    auto game = [&](int k) { return (k * 3 + w * 5) % kGameCount; };

    std::string h;
    h += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />";
    h += "<title>5173游戏交易数据周报_QQ游戏</title></head><body>";
    h += kCrLf;
    h += "<div class=\"wrap\"><div class=\"rtw_t\">5173游戏交易数据周报</div>";
    h += kCrLf;
    h += "<div class=\"week\">本周排行" + week.heading + "</div>";
    h += kCrLf;

    // Total trade value: a header entry, twelve entries and the tail.
    h += "<div class=\"ranking\"><div class=\"r_t\">总交易额排行榜</div>";
    h += kCrLf;
    h += "<ul>";
    h += kCrLf;
    h += "<li class=\"r_h\"><div class=\"r_num\">排名</div><div class=\"r_game\">游戏名称</div></li>";
    h += kCrLf;
    for (int k = 0; k < 12; ++k)
        h += Entry(k + 1, "<div class=\"r_game\">" + GameLink(host, game(k)) + "</div>");
    h += "</ul></div>";
    h += kCrLf;

    // Game currency: eleven entries.
    h += "<div class=\"ranking gc\"><div class=\"r_t\">游戏币交易排行榜(含重复物品)</div>";
    h += kCrLf;
    h += "<ul>";
    h += kCrLf;
    h += "<li class=\"r_h\"><div class=\"r_num\">排名</div><div class=\"r_game\">游戏名称</div>"
         "<div class=\"gct_m\">游戏币价格</div></li>";
    h += kCrLf;
    for (int k = 0; k < 11; ++k) {
        char price[64];
        std::snprintf(price, sizeof price, "1元=%d.%02d万金", 2 + (k * 7 + w) % 40, (k * 37 + w * 11) % 100);
        h += Entry(k + 1, "<div class=\"r_game\">" + GameLink(host, game(k + 1)) + "</div><div class=\"gct_m\">" +
                              price + "</div>");
    }
    h += "</ul></div>";
    h += kCrLf;

    // Equipment: ten entries.
    h += "<div class=\"ranking gc el\"><div class=\"r_t\">装备交易排行榜(含重复物品)</div>";
    h += kCrLf;
    h += "<ul>";
    h += kCrLf;
    h += "<li class=\"r_h\"><div class=\"r_num\">排名</div><div class=\"r_right\">装备名称</div>"
         "<div class=\"gct_m\">人民币价格</div><div class=\"r_game ng\">游戏名称</div></li>";
    h += kCrLf;
    for (int k = 0; k < 10; ++k) {
        const int yuan = 12800 - k * 1150 + w * 70;
        h += Entry(k + 1, std::string("<div class=\"r_right\">") + kItems[(k + w) % kItemCount] +
                              "</div><div class=\"gct_m\">" + SpacedYuan(yuan) + "</div><div class=\"r_game ng\">" +
                              kGames[game(k + 2)] + "</div>");
    }
    h += "</ul></div>";
    h += kCrLf;

    // The chart and the past weeks.
    h += "<div class=\"rtw erl\"><div class=\"rtw_t\">" + week.chartTitle + "各产品名次变化图表</div>";
    h += kCrLf;
    h += "<div class=\"chart\"><p>热门网游名次变化曲线</p><img src=\"http://" + host + "/ntgame/5173/chart/" + week.id +
         ".gif\" width=\"760\" height=\"320\" alt=\"\" /></div>";
    h += kCrLf;
    h += "<div class=\"review\"><h3>往期回顾</h3>";
    h += kCrLf;
    h += "<ul>";
    h += kCrLf;
    for (std::size_t k = 1; k < weeks.size(); ++k) {
        const std::string caption = weeks[k].heading.substr(1);  // without the leading blank
        h += "<li><a href=\"http://" + host + weeks[k].path + "\" target=\"_blank\">" + caption + "</a></li>";
        h += kCrLf;
    }
    h += "</ul></div></div></div></body></html>";
    h += kCrLf;
    return h;
}

std::string RankChartGif()
{
    return std::string(reinterpret_cast<const char*>(ReplicaRankChart), ReplicaRankChart_size);
}

}  // namespace replica

void AddRankingRoutes(ReplicaRoutes& routes)
{
    for (const replica::RankingWeek& week : replica::RankingWeeks()) {
        routes.Add(week.path, [week](const ReplicaRequest& request) -> std::optional<ReplicaPage> {
            ReplicaPage page;
            page.body = replica::RankingPageHtml(week, request.host.empty() ? std::string("127.0.0.1") : request.host);
            return page;
        });
        routes.Add("/ntgame/5173/chart/" + week.id + ".gif", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
            ReplicaPage page;
            page.contentType = "image/gif";
            page.body = replica::RankChartGif();
            return page;
        });
    }
}
