#include "replica/market_pages.h"

#include "replica/ranking_pages.h"

namespace {

constexpr const char* kCrLf = "\r\n";

std::string Page(const std::string& title, const std::string& body)
{
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" /><title>" + title +
           "</title></head><body>" + kCrLf + body + kCrLf + "</body></html>" + kCrLf;
}

std::string QuotePage(const std::string& game, std::size_t index)
{
    std::string rows;
    const char* const servers[] = {"电信一区", "电信二区", "网通一区", "双线区"};
    for (int k = 0; k < 4; ++k) {
        const int price = 18 + static_cast<int>((index * 7 + static_cast<std::size_t>(k) * 5) % 40);
        rows += "<tr><td>" + std::string(servers[k]) + "</td><td>1元=" + std::to_string(price) + "万金</td><td>" +
                std::to_string(120 + k * 35) + "笔</td></tr>" + kCrLf;
    }
    return Page(game + " 游戏币行情_5173交易行情",
                "<h1>" + game + " 游戏币行情</h1>" + kCrLf + "<table><tr><th>区服</th><th>均价</th><th>成交</th></tr>" +
                    kCrLf + rows + "</table>");
}

ReplicaPage Html(std::string body)
{
    ReplicaPage page;
    page.body = std::move(body);
    return page;
}

}  // namespace

namespace replica {

const std::vector<std::pair<std::string, std::string>>& MarketPages()
{
    static const std::vector<std::pair<std::string, std::string>> pages = {
        {"/daboluo3.html", "暗黑破坏神3"},
        {"/dnf.html", "地下城与勇士"},
        {"/douzhanshen.html", "斗战神"},
        {"/c9.html", "第九大陆"},
        {"/jian3.html", "剑侠情缘Ⅲ"},
        {"/9yin.html", "九阴真经"},
        {"/bns.html", "剑灵"},
        {"/dn.html", "龙之谷"},
        {"/nuoyachuanshuo.html", "诺亚传说"},
        {"/QQhuaxia-youxibi.html", "QQ华夏-游戏币"},
        {"/QQhuaxia-yuanbao.html", "QQ华夏-元宝"},
        {"/QQsanguo.html", "QQ三国"},
        {"/qingkongwuyu.html", "晴空物语"},
        {"/mir2.html", "热血传奇"},
        {"/seiya.html", "圣斗士星矢"},
        {"/shengwang-lingshi.html", "圣王-灵石"},
        {"/shengwang-youxibi.html", "圣王-游戏币"},
        {"/rift.html", "时空裂痕"},
        {"/shumen.html", "蜀门"},
        {"/tuifeizhixin.html", "颓废之心"},
        {"/xintiantang2.html", "新天堂II"},
        {"/wendao-youxibi.html", "问道-游戏币"},
        {"/wendao-yuanbao.html", "问道-元宝"},
        {"/xiaoaojianghu.html", "笑傲江湖"},
        {"/xintianlongbabu.html", "新天龙八部"},
        {"/xuanyuanchuanqi.html", "轩辕传奇"},
        {"/ro.html", "仙境传说"},
        {"/xinxunxian.html", "新寻仙"},
        {"/xianxiashijie.html", "仙侠世界"},
        {"/xunlongji.html", "寻龙记"},
        {"/yulongzaitian.html", "御龙在天"},
        {"/zhengtu2.html", "征途2S"},
        {"/zhuxian2.html", "诛仙2"},
    };
    return pages;
}

}  // namespace replica

void AddMarketRoutes(ReplicaRoutes& routes)
{
    const auto& pages = replica::MarketPages();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string game = pages[i].second;
        routes.Add("/NetWork/cxweb/hangqing" + pages[i].first,
                   [game, i](const ReplicaRequest&) -> std::optional<ReplicaPage> { return Html(QuotePage(game, i)); });
    }
    routes.Add("/koushui/index.asp", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        return Html(Page("Brelmor 留言口水",
                         std::string("<h1>留言口水</h1>") + kCrLf +
                             "<ul><li>老玩家：排行榜很实用，每周都看。</li><li>小白：价格监控报警很及时，谢谢作者！</li>"
                             "<li>商人：希望增加更多游戏的行情。</li></ul>" + kCrLf +
                             "<form method=\"post\" action=\"index.asp\"><textarea name=\"msg\"></textarea>"
                             "<input type=\"submit\" value=\"发表留言\" /></form>"));
    });
    routes.Add("/", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        return Html(Page("Brelmor网", std::string("<h1>Brelmor网</h1>") + kCrLf +
                                           "<p>Quovanta 5173 交易助手：成交量查询、价格监控、排行榜与交易行情。</p>" + kCrLf +
                                           "<p><a href=\"/index.php/archives/category/qelsoft\">软件下载</a> "
                                           "<a href=\"/koushui/index.asp\">留言口水</a></p>"));
    });
    routes.Add("/index.php/archives/category/qelsoft", [](const ReplicaRequest&) -> std::optional<ReplicaPage> {
        return Html(Page("软件下载 - Brelmor网", std::string("<h1>软件下载</h1>") + kCrLf +
                                                   "<p>Quovanta v2.035 发布：成交量查询与统计更快，价格监控更稳定。</p>"));
    });
}

void AddRankingAndMarketRoutes(ReplicaRoutes& routes)
{
    AddRankingRoutes(routes);
    AddMarketRoutes(routes);
}
