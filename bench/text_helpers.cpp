// Throughput of the text helpers on the sizes the scrapers meet:
//   GetTextBetween over a 1 MiB page whose markers sit at the far end (MB/s scanned);
//   the all-games pattern over a reply of 5,000 games, read the way the game-list loader reads it
//   (Create, the count, and groups 1 and 2 of every match; matches/s).
#include <windows.h>

#include <cstdio>
#include <string>

#include "helpers/regex_object.h"
#include "helpers/text_helpers.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A deal-list page: GBK table rows, then the total at the end.
Text MakePage(std::size_t size)
{
    const Text row = "<tr><td class=\"n\">梦幻西游</td><td>电信一区/长安城</td><td>100元=1234万</td>"
                     "<td><a href=\"/deal/123456.html\">查看</a></td></tr>\r\n";
    Text page = "<html><head><title>最新成交</title></head><body><table>\r\n";
    while (page.size() + row.size() < size - 64)
        page += row;
    page += "</table><div id=\"Total\">共12345条</div></body></html>";
    return page;
}

void BenchBetween(const char* what, const Text& page, const char* left, const char* right, int ci, int reverse,
                  const char* expected)
{
    const Text check = GetTextBetween(page, left, right, ci, 0, reverse);
    if (check != expected)
        std::printf("  (%s: unexpected result of %u bytes)\n", what, static_cast<unsigned>(check.size()));
    int runs = 0;
    const double start = Now();
    double elapsed = 0;
    do {
        volatile std::size_t n = GetTextBetween(page, left, right, ci, 0, reverse).size();
        (void)n;
        ++runs;
        elapsed = Now() - start;
    } while (elapsed < 1.0);
    const double mb = static_cast<double>(page.size()) * runs / (1024.0 * 1024.0);
    std::printf("GetTextBetween %-28s %8.1f MB/s  (%d runs over %u bytes)\n", what, mb / elapsed, runs,
                static_cast<unsigned>(page.size()));
}

Text MakeAllGamesReply(int games)
{
    Text reply = "callgame([";
    int id = 1;
    for (char group = 'A'; group <= 'Z' && id <= games; ++group) {
        reply += "{name:'";
        reply += group;
        reply += "',list:[";
        const int last = group == 'Z' ? games : id + games / 26 - 1;
        for (bool first = true; id <= last; ++id, first = false) {
            if (!first)
                reply += ",";
            reply += "{id:'" + std::to_string(id) + "',name:'天下" + std::to_string(id) + "区游戏',type:'0',py:'tx'}";
        }
        reply += "]},";
    }
    reply += "{name:'WEBG',list:[]}])";
    return reply;
}

void BenchAllGames()
{
    const int games = 5000;
    const Text reply = MakeAllGamesReply(games);
    int runs = 0;
    long long matches = 0;
    double createTime = 0;
    const double start = Now();
    double elapsed = 0;
    do {
        const double t0 = Now();
        RegexObject re;
        re.Create("id:'(.*?)',name:'(.*?)'", reply);
        const int n = re.GetMatchCount();
        createTime += Now() - t0;
        std::size_t bytes = 0;
        for (int i = 1; i <= n; ++i)
            bytes += re.GetSubMatch(i, 1).size() + re.GetSubMatch(i, 2).size();
        re.Destroy();
        if (n != games || bytes == 0) {
            std::printf("all-games pattern: %d matches, expected %d\n", n, games);
            return;
        }
        matches += n;
        ++runs;
        elapsed = Now() - start;
    } while (elapsed < 2.0);
    std::printf("all-games pattern, %d games (%u bytes): %8.0f matches/s  (%d runs; Create+Count %.1f ms, "
                "whole run %.1f ms)\n",
                games, static_cast<unsigned>(reply.size()), matches / elapsed, runs, createTime * 1000 / runs,
                elapsed * 1000 / runs);
}

}  // namespace

int main()
{
    const Text page = MakePage(1024 * 1024);
    BenchBetween("forward", page, "<div id=\"Total\">", "</div>", 0, 0, "共12345条");
    BenchBetween("forward, case-insensitive", page, "<DIV ID=\"total\">", "</DIV>", 1, 0, "共12345条");
    BenchBetween("reverse", page, "<table>", "</tr>", 0, 1,
                 "\r\n<tr><td class=\"n\">梦幻西游</td><td>电信一区/长安城</td><td>100元=1234万</td>"
                 "<td><a href=\"/deal/123456.html\">查看</a></td>");
    BenchBetween("missing marker", page, "<span>", "</span>", 0, 0, "");
    BenchAllGames();
    return 0;
}
