#include "replica/deal_pages.h"

#include <cstdio>
#include <cstdlib>

namespace replica {

namespace {

constexpr const char* kCrLf = "\r\n";

// "1280" as "1,280".
std::string WithThousands(long long yuan)
{
    std::string digits = std::to_string(yuan);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

SampleDeal MakeSampleDeal(int index, std::string_view gameName, std::string_view goodsType)
{
    SampleDeal d;
    const int quantity = 100 + (index * 53) % 900;           // 万金
    const long long cents = 8000 + (index * 7919LL) % 200000;  // 80.00 to 2079.99 元
    const long long yuan = cents / 100;
    d.name = "【" + std::string(goodsType) + "】" + std::string(gameName) + " " + std::to_string(quantity) +
             "万金 即时发货 编号" + std::to_string(index + 1);
    d.address = "http://trading.5173.com/order/DL20150107" + std::to_string(100000 + index) + ".shtml";
    char unit[32];
    std::snprintf(unit, sizeof unit, "%.4f", static_cast<double>(yuan) / quantity);
    d.unitPrice = std::string(unit) + "元";
    d.gameServer = std::string(gameName) + "/电信" + std::to_string(1 + index % 3) + "区/服务器" +
                   std::to_string(1 + index % 5) + "/无";
    d.goodsType = goodsType;
    d.price = WithThousands(yuan);
    char time[32];
    // Two deals an hour, going back from 7 January 2015 18:00.
    const int minutesBack = index * 30;
    const int day = 7 - minutesBack / (24 * 60) % 6;
    const int minuteOfDay = 18 * 60 - minutesBack % (24 * 60);
    const int m = (minuteOfDay + 24 * 60) % (24 * 60);
    std::snprintf(time, sizeof time, "2015-01-%02d %02d:%02d:%02d", day, m / 60, m % 60, (index * 17) % 60);
    d.dealTime = time;
    return d;
}

std::string DealListPageHtml(const std::vector<SampleDeal>& deals, int pageCount, int page,
                             std::string_view footerCount)
{
    std::string h;
    h += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">";
    h += kCrLf;
    h += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />";
    h += "<title>最新成交_5173.com</title></head>";
    h += kCrLf;
    h += "<body>";
    h += kCrLf;
    h += "<div class=\"sumbox\">为您找到最近的成交定单，共 " + std::to_string(pageCount) + " 页</div>";
    h += kCrLf;
    h += "<div class=\"listtitle\"><ul><li class=\"w1\">商品名称</li><li class=\"w2\">商品类型</li>"
         "<li class=\"w3\">价格</li><li class=\"w4\">成交时间</li></ul></div>";
    h += kCrLf;
    for (std::size_t i = 0; i < deals.size(); ++i) {
        const SampleDeal& d = deals[i];
        h += "<div class=\"listmain\">";
        h += kCrLf;
        h += "        <ul class=\"li1\">";
        h += kCrLf;
        h += "            <li class=\"title\"><a href=\"" + d.address + "\" target=\"_blank\">" + d.name + "</a></li>";
        h += kCrLf;
        h += "            <li>游戏/区/服/阵营：" + d.gameServer + "</li>";
        h += kCrLf;
        h += "            <li>单价：<span class=\"orange\">" + d.unitPrice + "</span></li>";
        h += kCrLf;
        h += "        </ul>";
        h += kCrLf;
        h += "            <ul class=\"li2\">";
        h += kCrLf;
        h += "                <li class=\"in_ac\">" + d.goodsType + "</li>";
        h += kCrLf;
        h += "                <li class=\"orange\">" + d.price + "元</li>";
        h += kCrLf;
        h += "                <li class=\"in_ac\">" + d.dealTime + "</li>";
        h += kCrLf;
        h += "            </ul>";
        h += kCrLf;
        // Records follow each other as " </div><div class="listmain">".
        h += " </div>";
    }
    h += "<div class=\"pagebox beta\"><ul><li class=\"yeshu\">共 " + std::string(footerCount) + " 单 第 " +
         std::to_string(page) + "/" + std::to_string(pageCount) + " 页</li>";
    h += "<li><a href=\"#\">上一页</a></li><li><a href=\"#\">下一页</a></li></ul></div>";
    h += kCrLf;
    h += "</body></html>";
    h += kCrLf;
    return h;
}

}  // namespace replica

namespace {

struct DealShape {
    int deals;
    std::string footer;  // empty: the number of deals
    int unitWithoutYuan = -1;  // this deal's unit price lacks its "元"
};

DealShape ShapeOf(const ReplicaGame& game)
{
    if (game.name == "问道") return {6, "1234", 2};
    if (game.name == "梦幻西游") return {183, {}};
    if (game.name == "魔兽世界(国服)") return {80, {}};
    unsigned h = 0;
    for (unsigned char c : game.id) h = h * 131 + c;
    return {static_cast<int>(h % 120), {}};
}

}  // namespace

std::string DealListPage(const ReplicaCatalogue& catalogue, const ReplicaRequest& request)
{
    const ReplicaGame* game = catalogue.FindGame(request.Param("gm"));
    if (!game) return replica::DealListPageHtml({}, 0, 1, "0");
    const DealShape shape = ShapeOf(*game);
    const int pageSize = 80;
    const int pages = (shape.deals + pageSize - 1) / pageSize;
    int page = std::atoi(request.Param("pg").c_str());
    if (page < 1) page = 1;

    const ReplicaArea* area = catalogue.FindArea(request.Param("ga"));
    const ReplicaServer* server = nullptr;
    if (area)
        for (const ReplicaServer& s : area->servers)
            if (s.id == request.Param("gs")) server = &s;
    const ReplicaGoodsType* type = nullptr;
    for (const ReplicaGoodsType& t : game->goodsTypes)
        if (t.id == request.Param("bt")) type = &t;

    std::vector<replica::SampleDeal> deals;
    for (int i = (page - 1) * pageSize; i < shape.deals && i < page * pageSize; ++i) {
        const ReplicaArea* a = area ? area : game->areas.empty() ? nullptr : &game->areas[i % game->areas.size()];
        const ReplicaServer* s = server ? server : (a && !a->servers.empty()) ? &a->servers[i % a->servers.size()] : nullptr;
        const std::string typeName = type ? type->name
                                     : game->goodsTypes.empty() ? std::string("游戏币")
                                                                : game->goodsTypes[i % game->goodsTypes.size()].name;
        replica::SampleDeal d = replica::MakeSampleDeal(i, game->name, typeName);
        d.gameServer = game->name + "/" + (a ? a->name : std::string("全区")) + "/" +
                       (s ? s->name : std::string("全服")) + "/无";
        if (i == shape.unitWithoutYuan) d.unitPrice = d.unitPrice.substr(0, d.unitPrice.size() - 2);
        deals.push_back(std::move(d));
    }
    return replica::DealListPageHtml(deals, pages, page,
                                     shape.footer.empty() ? std::to_string(shape.deals) : shape.footer);
}

void AddDealListRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue)
{
    routes.Add("/list/viewlastestdeallist.aspx", [catalogue](const ReplicaRequest& r) {
        ReplicaPage page;
        page.body = DealListPage(*catalogue, r);
        return std::optional<ReplicaPage>(std::move(page));
    });
}
