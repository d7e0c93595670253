#pragma once
// The replica's pages of the trading platform's pick-list endpoints: all games, the areas of a game
// and the servers of an area (ajax host, "/ajax.axd"), and the goods types of a game (trading host,
// "/auction/GameGetBizOfferTypeHandler.ashx"). Script-callback replies in GBK, as the platform sends.
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

#include <memory>

// "callgame([{name:'<group>',list:[{id:'..',name:'..',...},...]},...,{name:'WEBG',list:[]}])": the
// games in groups by the first letter of their spell, groups in letter order. `callback` is the
// name the reply calls (the request's jsoncallback).
std::string AllGamesPage(const ReplicaCatalogue& catalogue, const std::string& callback = "callgame");
// The games in the order the all-games page lists them.
std::vector<const ReplicaGame*> GamesInPageOrder(const ReplicaCatalogue& catalogue);
// "callarea([{id:'..',name:'..',...},...])"; an unknown game gives "callarea([])".
std::string AreasPage(const ReplicaCatalogue& catalogue, const std::string& gameId,
                      const std::string& callback = "callarea");
// "callserver([{id:'..',name:'..',...},...])"; an unknown area gives "callserver([])".
std::string ServersPage(const ReplicaCatalogue& catalogue, const std::string& areaId,
                        const std::string& callback = "callserver");
// "calltype,calltype([{"id":"..","name":".."},...])": the callback echoes every jsoncallback value of
// the request joined by ","; an unknown game gives an empty list.
std::string GoodsTypesPage(const ReplicaCatalogue& catalogue, const std::string& gameId,
                           const std::string& callback = "calltype,calltype");

// Adds the routes of these endpoints over the catalogue.
void AddPickListRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue);
