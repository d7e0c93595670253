#include "replica/pick_list_pages.h"

#include <map>

namespace {

std::string Joined(const std::vector<std::string>& values)
{
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? "," : "") + values[i];
    return out;
}

// The callback a reply calls: the request's jsoncallback values, or the endpoint's usual name.
std::string CallbackOf(const ReplicaRequest& request, const char* fallback)
{
    std::vector<std::string> values = request.Params("jsoncallback");
    return values.empty() ? std::string(fallback) : Joined(values);
}

std::map<std::string, std::vector<const ReplicaGame*>> Groups(const ReplicaCatalogue& catalogue)
{
    std::map<std::string, std::vector<const ReplicaGame*>> groups;
    for (const ReplicaGame& g : catalogue.Games())
        groups[g.group].push_back(&g);
    return groups;
}

}  // namespace

std::vector<const ReplicaGame*> GamesInPageOrder(const ReplicaCatalogue& catalogue)
{
    std::vector<const ReplicaGame*> out;
    for (const auto& [group, games] : Groups(catalogue))
        out.insert(out.end(), games.begin(), games.end());
    return out;
}

std::string AllGamesPage(const ReplicaCatalogue& catalogue, const std::string& callback)
{
    std::string out = callback + "([";
    for (const auto& [group, games] : Groups(catalogue)) {
        out += "{name:'" + group + "',list:[";
        for (std::size_t i = 0; i < games.size(); ++i) {
            const ReplicaGame& g = *games[i];
            out += (i ? ",{id:'" : "{id:'") + g.id + "',name:'" + g.name + "',spell:'" + g.spell +
                   "',isHot:'" + (i < 2 ? "1" : "0") + "'}";
        }
        out += "]},";
    }
    out += "{name:'WEBG',list:[]}])";
    return out;
}

std::string AreasPage(const ReplicaCatalogue& catalogue, const std::string& gameId, const std::string& callback)
{
    std::string out = callback + "([";
    if (const ReplicaGame* g = catalogue.FindGame(gameId)) {
        for (std::size_t i = 0; i < g->areas.size(); ++i)
            out += (i ? ",{id:'" : "{id:'") + g->areas[i].id + "',name:'" + g->areas[i].name + "',sort:'" +
                   std::to_string(i + 1) + "'}";
    }
    return out + "])";
}

std::string ServersPage(const ReplicaCatalogue& catalogue, const std::string& areaId, const std::string& callback)
{
    std::string out = callback + "([";
    if (const ReplicaArea* a = catalogue.FindArea(areaId)) {
        for (std::size_t i = 0; i < a->servers.size(); ++i)
            out += (i ? ",{id:'" : "{id:'") + a->servers[i].id + "',name:'" + a->servers[i].name + "',sort:'" +
                   std::to_string(i + 1) + "'}";
    }
    return out + "])";
}

std::string GoodsTypesPage(const ReplicaCatalogue& catalogue, const std::string& gameId, const std::string& callback)
{
    std::string out = callback + "([";
    if (const ReplicaGame* g = catalogue.FindGame(gameId)) {
        for (std::size_t i = 0; i < g->goodsTypes.size(); ++i)
            out += std::string(i ? ",{" : "{") + "\"id\":\"" + g->goodsTypes[i].id + "\",\"name\":\"" +
                   g->goodsTypes[i].name + "\"}";
    }
    return out + "])";
}

void AddPickListRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue)
{
    routes.Add("/ajax.axd", [catalogue](const ReplicaRequest& r) -> std::optional<ReplicaPage> {
        std::string method = ReplicaLower(r.Param("methodName"));
        if (method == "getallgamesdatav31")
            return ReplicaPage::Script(AllGamesPage(*catalogue, CallbackOf(r, "callgame")));
        if (method == "gamesv31") {
            std::string kind = ReplicaLower(r.Param("gameType"));
            if (kind == "gameareas")
                return ReplicaPage::Script(AreasPage(*catalogue, r.Param("id"), CallbackOf(r, "callarea")));
            if (kind == "gameservers")
                return ReplicaPage::Script(ServersPage(*catalogue, r.Param("id"), CallbackOf(r, "callserver")));
        }
        return std::nullopt;
    });
    routes.Add("/auction/GameGetBizOfferTypeHandler.ashx", [catalogue](const ReplicaRequest& r) {
        return std::optional<ReplicaPage>(
            ReplicaPage::Script(GoodsTypesPage(*catalogue, r.Param("gm"), CallbackOf(r, "calltype"))));
    });
}
