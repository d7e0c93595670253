#pragma once
// The replica's pages of the 17173 new-game test list ("/testing-list.html?page=N&type=0&theme=0&
// frame=0"), in UTF-8 with CR LF line ends, each listed game a table row of exactly eight lines: "<tr>",
// six cells indented by a TAB and 16 blanks (the first written "<td >"), then a TAB and 12 blanks
// before "</tr>". A header row of "<th>" cells comes first and is no game.
//
// The sample list has 100 games on pages 1 and 2 and 40 on page 3; later pages have the table without
// games. Its names are games of the catalogue written as the platform writes them, written in other
// letter case (LATALE, qq飞车), the start of a longer platform name (魔兽世界), and new games the
// platform does not list. Review links hold "game" once or twice; some developer and operator links
// are no web address. The matched games' deals are the catalogue's own deal-list pages.
#include "replica/replica_routes.h"
#include "replica/sample_data.h"

#include <memory>
#include <string>
#include <vector>

namespace replica {

// One game of the list (GBK texts, exactly as they stand in the page).
struct NewGameEntry {
    std::string testDate;       // "2015-01-15"
    std::string reviewLink;     // "/game-info-4181.html", relative to the list's host
    std::string name;           // the title of the game link
    std::string phase;          // 测试名称
    std::string code;           // 是否需激活码
    std::string developerLink;  // "http://..." or anything else
    std::string developer;
    std::string operatorLink;
    std::string operatorName;
};

// The rows per page of the sample list.
inline constexpr int kNewGamesPerPage = 100;

// A page of the test list with these games, as UTF-8 bytes.
std::string NewGameListPageHtml(const std::vector<NewGameEntry>& games);

// The games of page `page` (1 and up) of the sample list.
std::vector<NewGameEntry> SampleNewGames(const ReplicaCatalogue& catalogue, int page);

}  // namespace replica

void AddNewGameRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue);
