#pragma once
// The replica's QQ Games weekly ranking pages (GBK): the current week and five past weeks, each with
// the three ranking blocks (a header entry, ten or more entries and a tail), the history block of the
// past weeks and the chart of rank changes. Addresses on the pages are built from the Host header of
// the request, so that the program's check of the one readable page of 2013 sees its own ranking host.
//
//   /ntgame/5173/index.htm                    the current week (12 total, 11 currency, 10 equipment entries)
//   /ntgame/5173/2015/0105-0111.htm           past weeks ...
//   /ntgame/5173/2014/1229-0104.htm
//   /ntgame/5173/2014/1222-1228.htm
//   /ntgame/5173/2013rich/1230-0105.htm       the one page of 2013 the program reads
//   /ntgame/5173/2013rich/1223-1229.htm       a page of 2013 the program refuses to read
//   /ntgame/5173/chart/WEEK.gif               the chart of each week (760 x 320, replica/make_rank_chart.py)
#include "replica/replica_routes.h"

#include <string>
#include <vector>

namespace replica {

struct RankingWeek {
    std::string path;     // "/ntgame/5173/index.htm"
    std::string id;       // "0112-0118": the chart's name
    std::string heading;  // the text after "本周排行"
    std::string chartTitle;
};

// The current week first, then the past weeks as the history block lists them.
const std::vector<RankingWeek>& RankingWeeks();
// The page of a week, with its addresses on `host`.
std::string RankingPageHtml(const RankingWeek& week, const std::string& host);
// The chart's GIF bytes.
std::string RankChartGif();

}  // namespace replica

void AddRankingRoutes(ReplicaRoutes& routes);
