#pragma once
// The replica's own sample data of the trading platform: games with their areas, servers and goods
// types. Names are GBK; ids are made from the names, so they are the same at every start.
#include <map>
#include <memory>
#include <string>
#include <vector>

struct ReplicaServer {
    std::string id, name;
};

struct ReplicaArea {
    std::string id, name;
    std::vector<ReplicaServer> servers;
};

struct ReplicaGoodsType {
    std::string id, name;
};

struct ReplicaGame {
    std::string id, name;
    std::string spell;  // the upper-case initials of the name, as the platform lists them
    std::string group;  // the group of the all-games reply the game is listed in
    std::vector<ReplicaArea> areas;
    std::vector<ReplicaGoodsType> goodsTypes;
};

class ReplicaCatalogue {
public:
    explicit ReplicaCatalogue(std::vector<ReplicaGame> games);

    const std::vector<ReplicaGame>& Games() const { return games_; }
    const ReplicaGame* FindGame(const std::string& id) const;
    const ReplicaArea* FindArea(const std::string& id) const;

private:
    std::vector<ReplicaGame> games_;
    std::map<std::string, std::size_t> gameIndex_;
    std::map<std::string, std::pair<std::size_t, std::size_t>> areaIndex_;
};

// Several dozen real-looking games: names that begin with Chinese characters, with "3D", with "QQ"
// and with two Latin letters; each with two to six areas of two to seven servers and three to six
// goods types.
std::shared_ptr<const ReplicaCatalogue> SampleCatalogue();

// `count` made-up games (for load tests), each with areas, servers and goods types as above.
std::shared_ptr<const ReplicaCatalogue> GeneratedCatalogue(int count);

// A 32-digit hexadecimal id made from a text (the same text always gives the same id).
std::string ReplicaId(const std::string& seed);
