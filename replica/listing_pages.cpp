#include "replica/listing_pages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <optional>

namespace replica {

namespace {

constexpr const char* kCrLf = "\r\n";

std::uint32_t Hash(const std::string& s)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

// "1234.5" as "1,234.50".
std::string Money(double yuan)
{
    char plain[48];
    std::snprintf(plain, sizeof plain, "%.2f", yuan);
    std::string s = plain;
    const std::size_t point = s.find('.');
    std::string whole = s.substr(0, point), out;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return out + s.substr(point);
}

std::string Unit(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

std::string OfferLink(const std::string& host, const SampleOffer& o)
{
    return "http://" + host + "/detail/" + (o.consigned ? "JS" : "DB") + std::to_string(o.number) + ".shtml";
}

}  // namespace

std::string ListingPageHtml(const std::string& host, const std::vector<SampleOffer>& offers, int pageCount)
{
    std::string h;
    h += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">";
    h += kCrLf;
    h += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" />";
    h += "<title>商品列表_5173.com</title></head>";
    h += kCrLf;
    h += "<body>";
    h += kCrLf;
    h += "<div class=\"list_th\"><ul><li class=\"w1\">商品名称</li><li class=\"w2\">价格</li>"
         "<li class=\"w3\">单价</li><li class=\"w4\">平均发货时间</li><li class=\"w5\">购买</li></ul></div>";
    h += kCrLf;
    h += "<div class=\"pdlist\">";
    h += kCrLf;
    for (const SampleOffer& o : offers) {
        const std::string link = OfferLink(host, o);
        h += "<div class=\"sin_pdlbox\">";
        h += kCrLf;
        h += "  <ul class=\"pdlist_info\">";
        h += kCrLf;
        h += "    <li class=\"tt\"><a class=\"til\" href=\"" + link + "\" target=\"_blank\" title=\"" + o.name + "\">" +
             o.name + "</a></li>";
        h += kCrLf;
        h += std::string("    <li class=\"mode\">") + (o.consigned ? "寄售交易" : "担保交易") + "</li>";
        h += kCrLf;
        h += "  </ul>";
        h += kCrLf;
        h += "  <ul class=\"pdlist_price\"><li><strong class=\"text-highlight\">" + o.price + "</strong>元</li></ul>";
        h += kCrLf;
        h += "  <ul class=\"pdlist_unitprice\"><li><em>" + o.unitPrice + "元/万金</em></li></ul>";
        h += kCrLf;
        h += "  <ul class=\"pdlist_delivery\"><li>" + std::to_string(3 + o.number % 27) + "分钟</li></ul>";
        h += kCrLf;
        h += "  <ul class=\"pdlist_buy\"><li><a href=\"" + link + "\" target=\"_blank\" class=\"buy\"><span>立即购买</span></a>";
        h += "</li></ul>";
        h += kCrLf;
        h += "</div>";
        h += kCrLf;
    }
    h += "</div>";
    h += kCrLf;
    h += "<div class=\"pagination\"><a href=\"#\">上一页</a><a href=\"#\">下一页</a>";
    h += "<span>共" + std::to_string(pageCount) + "页</span> 到第<input type=\"text\" id=\"pager_txtid\" value=\"1\" />页"
         "<input type=\"button\" value=\"确定\" onclick=\"if(ANP_checkInput('pager_txtid'," +
         std::to_string(pageCount) + ")){ANP_goToPage('pager_txtid');}\" /></div>";
    h += kCrLf;
    h += "</body></html>";
    h += kCrLf;
    return h;
}

std::string ChoiceLink(const std::string& host, const std::string& game, const std::string& type,
                       const std::string& op, const std::string& area, const std::string& server)
{
    return "http://" + host + "/" + game + "-" + type + "-" + op + "-" + area + "-" + server +
           "-0-0-0-0-0-0-0-0.shtml";
}

namespace {

struct Operator {
    const char* key;
    const char* name;
};
const Operator kOperators[] = {{"op1", "37玩"}, {"op2", "4399"}, {"op3", "趣游"}};
const char* const kOperatorServers[] = {"一服", "二服", "三服", "四服"};

// The sample chain resolved from the segments of an address.
struct Chain {
    const ReplicaGame* game = nullptr;
    const ReplicaGoodsType* type = nullptr;
    int typeIndex = -1;
    const Operator* op = nullptr;
    // The area and server, named (catalogue ones or the operators' own).
    std::string areaName, serverName;
    const ReplicaArea* area = nullptr;  // a catalogue area
    int operatorArea = 0;               // 1 and up: an operator's area
};

int OperatorAreaCount(const Operator& op) { return 2 + static_cast<int>(&op - kOperators); }
int OperatorServerCount(int area) { return 2 + area % 3; }

std::string OperatorAreaKey(const Operator& op, int n) { return std::string(op.key) + "a" + std::to_string(n); }

bool OffersOperators(const Chain& c) { return c.typeIndex == 2; }

std::optional<Chain> Resolve(const ReplicaCatalogue& catalogue, const std::vector<std::string>& parts)
{
    Chain c;
    c.game = catalogue.FindGame(parts[0]);
    if (!c.game) return std::nullopt;
    for (std::size_t t = 0; t < c.game->goodsTypes.size(); ++t)
        if (c.game->goodsTypes[t].id == parts[1]) {
            c.type = &c.game->goodsTypes[t];
            c.typeIndex = static_cast<int>(t);
        }
    if (!c.type) return std::nullopt;
    if (parts[2] != "0") {
        for (const Operator& op : kOperators)
            if (parts[2] == op.key) c.op = &op;
        if (!c.op || !OffersOperators(c)) return std::nullopt;
    }
    if (parts[3] != "0") {
        if (c.op) {
            for (int n = 1; n <= OperatorAreaCount(*c.op); ++n)
                if (parts[3] == OperatorAreaKey(*c.op, n)) c.operatorArea = n;
            if (!c.operatorArea) return std::nullopt;
            c.areaName = "双线" + std::to_string(c.operatorArea) + "区";
        } else {
            for (const ReplicaArea& a : c.game->areas)
                if (a.id == parts[3]) c.area = &a;
            if (!c.area) return std::nullopt;
            c.areaName = c.area->name;
        }
    }
    if (parts[4] != "0") {
        if (c.area) {
            for (const ReplicaServer& s : c.area->servers)
                if (s.id == parts[4]) c.serverName = s.name;
        } else if (c.operatorArea) {
            for (int m = 1; m <= OperatorServerCount(c.operatorArea); ++m)
                if (parts[4] == OperatorAreaKey(*c.op, c.operatorArea) + "s" + std::to_string(m))
                    c.serverName = kOperatorServers[m - 1];
        }
        if (c.serverName.empty()) return std::nullopt;
    }
    return c;
}

bool IsSpecialServer(const ReplicaCatalogue& catalogue, const std::string& game, const std::string& type,
                     const std::string& op, const std::string& area, const std::string& server)
{
    const ReplicaGame* g = catalogue.FindGame(ReplicaId("game:问道"));
    return g && !g->goodsTypes.empty() && !g->areas.empty() && !g->areas[0].servers.empty() && game == g->id &&
           type == g->goodsTypes[0].id && op == "0" && area == g->areas[0].id && server == g->areas[0].servers[0].id;
}

}  // namespace

std::vector<SampleOffer> ServerOffers(const ReplicaCatalogue& catalogue, const std::string& game,
                                      const std::string& type, const std::string& op, const std::string& area,
                                      const std::string& server)
{
    const ReplicaGame* g = catalogue.FindGame(game);
    std::string gameName = g ? g->name : std::string("游戏");
    std::string typeName = "游戏币";
    if (g)
        for (const ReplicaGoodsType& t : g->goodsTypes)
            if (t.id == type) typeName = t.name;
    auto named = [&](int quantity, const char* how) {
        return "【" + typeName + "】" + gameName + " " + std::to_string(quantity) + "万金 " + how;
    };
    if (IsSpecialServer(catalogue, game, type, op, area, server)) {
        return {
            {true, named(500, "即时到账"), "425.00", "0.8500", 801001},
            {false, named(1250, "担保交易 安全快捷"), "1,234.00", "0.9872", 801002},
            {true, named(100, "寄售 自动发货"), "96.00", "0.9600", 801003},
            {false, named(100, "担保 当面交易"), "118.00", "1.1800", 802001},
            {true, named(2000, "大额优惠"), "2,070.00", "1.0350", 802002},
        };
    }
    const std::uint32_t h = Hash(game + type + op + area + server);
    const int count = static_cast<int>(h % 66);
    std::vector<SampleOffer> offers;
    for (int i = 0; i < count; ++i) {
        const int quantity = 50 * (1 + static_cast<int>((h / 7 + static_cast<std::uint32_t>(i) * 13) % 40));
        const double unit = 0.60 + static_cast<double>((h / 11 + static_cast<std::uint32_t>(i) * 29) % 70) / 100.0;
        SampleOffer o;
        o.consigned = (static_cast<std::uint32_t>(i) + h) % 3 == 0;
        o.name = named(quantity, o.consigned ? "寄售交易" : "担保交易");
        o.unitPrice = Unit(unit);
        o.price = Money(unit * quantity);
        o.number = 100000 + static_cast<int>(h % 50000) * 10 + i;
        offers.push_back(std::move(o));
    }
    return offers;
}

}  // namespace replica

namespace {

using replica::Chain;
using replica::ChoiceLink;

std::string HostOf(const ReplicaRequest& r)
{
    // Only a plain host[:port] goes into the links of a page.
    bool ok = !r.host.empty();
    for (char c : r.host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
              c == ':' || c == '_'))
            ok = false;
    return ok ? r.host : std::string("s.5173.com");
}

std::vector<std::string> Split(const std::string& s, char separator)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(separator, start);
        out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return out;
        start = at + 1;
    }
}

// The segments of "<prefix><a>-<b>-...-<z>.shtml"; empty when the path is not of that form.
std::vector<std::string> Segments(const std::string& path, const std::string& prefix)
{
    const std::string suffix = ".shtml";
    if (path.size() <= prefix.size() + suffix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    return Split(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()), '-');
}

bool AllZero(const std::vector<std::string>& parts, std::size_t from)
{
    for (std::size_t i = from; i < parts.size(); ++i)
        if (parts[i] != "0") return false;
    return true;
}

std::string PageHead(const std::string& title)
{
    return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" /><title>" + title +
           "_5173.com</title></head><body>\r\n";
}

std::string Entry(const std::string& link, const std::string& name, const char* nameEnd)
{
    return "<dt><a href='" + link + "' title='" + name + nameEnd + name + "</a></dt>\r\n";
}

std::string SearchPage(const ReplicaCatalogue& catalogue, const std::string& host, const std::string& gameId)
{
    const ReplicaGame* g = catalogue.FindGame(gameId);
    std::string h = PageHead(g ? g->name : std::string("搜索"));
    h += "<div class=\"search_top\"><h1>" + (g ? g->name : std::string()) + "</h1></div>\r\n";
    if (!g || g->name == "LaTale") {
        h += "<div class=\"nofound\">很抱歉！没有找到相关商品。</div></body></html>\r\n";
        return h;
    }
    h += "<div class=\"sing_filbox\"><div class=\"tit\">商品类型：</div><dl>\r\n";
    for (const ReplicaGoodsType& t : g->goodsTypes) h += Entry(ChoiceLink(host, g->id, t.id, "0", "0", "0"), t.name, "'>");
    h += "</dl></div>\r\n<div class=\"sing_filbox\"><div class=\"tit\">价格：</div><dl><dd>不限</dd></dl></div>\r\n";
    h += "</body></html>\r\n";
    return h;
}

// The area block of a goods type's page (no operators) or of an operator's page.
std::string AreaBlock(const std::string& host, const Chain& c, const std::string& op)
{
    std::string h = "<div class=\"filter\"><span>游戏区选择：</span><dl>\r\n";
    if (c.op) {
        for (int n = 1; n <= replica::OperatorAreaCount(*c.op); ++n)
            h += Entry(ChoiceLink(host, c.game->id, c.type->id, op, replica::OperatorAreaKey(*c.op, n), "0"),
                       "双线" + std::to_string(n) + "区", "' >");
    } else {
        for (const ReplicaArea& a : c.game->areas)
            h += Entry(ChoiceLink(host, c.game->id, c.type->id, "0", a.id, "0"), a.name, "' >");
    }
    h += "</dl></div><div class=\"nofound\" style=\"display:none\">没有找到</div>\r\n";
    return h;
}

std::string ChoicePage(const std::string& host, const Chain& c, const std::vector<std::string>& parts)
{
    std::string h = PageHead(c.game->name + " " + c.type->name);
    h += "<div class=\"tab_v1_1\"><span>" + c.type->name + "</span></div>\r\n";
    if (parts[3] != "0") {
        // An area: its servers.
        h += AreaBlock(host, c, parts[2]);
        h += "<div class=\"filter\"><span>按服务器选择：</span><dl>\r\n";
        if (c.area) {
            for (const ReplicaServer& s : c.area->servers)
                h += Entry(ChoiceLink(host, c.game->id, c.type->id, "0", c.area->id, s.id), s.name, "'>");
        } else {
            const std::string areaKey = replica::OperatorAreaKey(*c.op, c.operatorArea);
            for (int m = 1; m <= replica::OperatorServerCount(c.operatorArea); ++m)
                h += Entry(ChoiceLink(host, c.game->id, c.type->id, parts[2], areaKey, areaKey + "s" + std::to_string(m)),
                           replica::kOperatorServers[m - 1], "'>");
        }
        h += "</dl></div><div class=\"nofound\" style=\"display:none\">没有找到</div>\r\n";
    } else if (c.op || !replica::OffersOperators(c)) {
        // An operator's page, or a goods type without operators: the areas.
        h += AreaBlock(host, c, parts[2]);
    } else {
        // A goods type with a choice of operator.
        h += "<div class=\"filter\"><span>运营商选择：</span><dl>\r\n";
        for (const replica::Operator& op : replica::kOperators)
            h += Entry(ChoiceLink(host, c.game->id, c.type->id, op.key, "0", "0"), op.name, "' >");
        h += "</dl></div>\r\n<div class=\"tab_v1_1 v2\"><span>请先选择运营商</span></div>\r\n";
    }
    h += "</body></html>\r\n";
    return h;
}

// The listing of a server: page `page` (1 and up) of its offers.
std::string Listing(const ReplicaCatalogue& catalogue, const std::string& host, const std::vector<std::string>& p,
                    int page)
{
    const std::vector<replica::SampleOffer> all = replica::ServerOffers(catalogue, p[0], p[1], p[2], p[3], p[4]);
    const bool special = all.size() == 5 && all[0].number == 801001;
    int pages = 1;
    std::vector<replica::SampleOffer> shown;
    if (special) {
        pages = 2;
        if (page == 1) shown.assign(all.begin(), all.begin() + 3);
        if (page == 2) shown.assign(all.begin() + 3, all.end());
    } else {
        const int size = replica::kListingPageSize;
        pages = std::max<int>(1, static_cast<int>((all.size() + size - 1) / size));
        for (std::size_t i = static_cast<std::size_t>(page - 1) * size; i < all.size() && i < static_cast<std::size_t>(page) * size; ++i)
            shown.push_back(all[i]);
    }
    return replica::ListingPageHtml(host, shown, pages);
}

ReplicaPage Html(std::string body)
{
    ReplicaPage page;
    page.body = std::move(body);
    return page;
}

}  // namespace

void AddListingRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue)
{
    routes.AddPrefix("/search/", [catalogue](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        const std::vector<std::string> parts = Segments(r.path, "/search/");
        if (parts.size() != 1) return std::nullopt;
        return Html(SearchPage(*catalogue, HostOf(r), parts[0]));
    });
    routes.AddPrefix("/list/", [catalogue](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        const std::vector<std::string> parts = Segments(r.path, "/list/");
        int page = 0;
        if (parts.size() == 13 && AllZero(parts, 5)) page = 1;
        if (parts.size() == 9 && parts[5] == "0" && parts[6] == "0" && parts[7] == "0")
            page = std::atoi(parts[8].c_str());
        if (page < 1) return std::nullopt;
        const std::optional<Chain> c = replica::Resolve(*catalogue, parts);
        if (!c || c->serverName.empty()) return std::nullopt;
        return Html(Listing(*catalogue, HostOf(r), parts, page));
    });
    routes.AddPrefix("/detail/", [](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        const std::vector<std::string> parts = Segments(r.path, "/detail/");
        if (parts.size() != 1) return std::nullopt;
        return Html(PageHead("商品详情") + "<h1>商品 " + parts[0] + "</h1><p>请登录后购买。</p></body></html>\r\n");
    });
    routes.AddPrefix("/", [catalogue](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        const std::vector<std::string> parts = Segments(r.path, "/");
        if (parts.size() != 13 || !AllZero(parts, 5)) return std::nullopt;
        const std::optional<Chain> c = replica::Resolve(*catalogue, parts);
        if (!c) return std::nullopt;
        const std::string host = HostOf(r);
        if (!c->serverName.empty()) return Html(Listing(*catalogue, host, parts, 1));
        return Html(ChoicePage(host, *c, parts));
    });
}
