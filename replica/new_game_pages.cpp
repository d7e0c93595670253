#include "replica/new_game_pages.h"

#include <cstdio>
#include <cstdlib>

namespace replica {

namespace {

constexpr char kCrLf[] = "\r\n";
// The indent of a cell line and of the line that closes a row.
constexpr char kCellIndent[] = "\t                ";
constexpr char kCloseIndent[] = "\t            ";

constexpr int kSamplePages = 3;
constexpr int kLastPageGames = 40;

// New games the platform does not list (none of them is part of a platform game's name).
const char* const kNewFirst[] = {"星辰", "苍穹", "灵域", "铁血", "雷霆", "九州", "龙渊", "天启", "幻境", "风云",
                                 "无双", "凌霄", "碧落", "赤焰", "沧澜", "玄穹"};
const char* const kNewSecond[] = {"纪元", "战歌", "物语", "霸业", "之门", "奇缘", "秘境", "争锋", "问鼎"};
const char* const kNewSuffix[] = {"", "OL", "Online", "手游", "2"};
// Games of the platform in another letter case, and the start of a longer platform name.
const char* const kOtherCase[] = {"LATALE", "qq飞车", "Qq三国", "qq炫舞", "latale"};
const char* const kNameStarts[] = {"魔兽世界", "剑侠情缘", "大话西游", "最终幻想", "暗黑破坏神"};

const char* const kPhases[] = {"封测", "内测", "公测", "删档测试", "不删档测试", "技术测试"};
const char* const kCompanies[] = {"完美世界", "网易游戏", "腾讯游戏", "巨人网络", "西山居", "畅游",
                                  "盛大游戏", "昆仑万维", "蓝港互动", "搜狐畅游", "游族网络"};

std::string Cell(const std::string& inner) { return std::string(kCellIndent) + inner + kCrLf; }

std::string NameOf(const ReplicaCatalogue& catalogue, int index)
{
    const auto& games = catalogue.Games();
    switch (index % 8) {
    case 0:
        return games.empty() ? std::string("问道") : games[static_cast<std::size_t>(index / 8 * 5) % games.size()].name;
    case 3:
        return kOtherCase[(index / 8) % std::size(kOtherCase)];
    case 5:
        return kNameStarts[(index / 8) % std::size(kNameStarts)];
    default: {
        const int n = index - index / 8 * 3;  // numbers the made-up names
        return std::string(kNewFirst[n % std::size(kNewFirst)]) + kNewSecond[(n / 3) % std::size(kNewSecond)] +
               kNewSuffix[(n / 7) % std::size(kNewSuffix)];
    }
    }
}

std::string TestDate(int index)
{
    if (index % 37 == 36) return "待定";
    char date[16];
    // From 6 January 2015 on, about one test day every day and a half.
    const int day = index * 3 / 2;
    std::snprintf(date, sizeof date, "2015-%02d-%02d", 1 + (day + 5) / 28 % 12, 1 + (day + 5) % 28);
    return date;
}

}  // namespace

std::string NewGameListPageHtml(const std::vector<NewGameEntry>& games)
{
    std::string h;
    h += "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">";
    h += kCrLf;
    h += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />";
    h += "<title>新游测试表_17173新游戏频道</title></head>";
    h += kCrLf;
    h += "<body>";
    h += kCrLf;
    h += "<div class=\"testing-list\">";
    h += kCrLf;
    h += "<table class=\"tab-list\">";
    h += kCrLf;
    // The header row has the same layout with "<th>" cells: it is no game.
    h += "<tr>";
    h += kCrLf;
    for (const char* title : {"测试时间", "游戏名称", "测试名称", "是否需激活码", "开发商", "运营商"})
        h += Cell(std::string("<th>") + title + "</th>");
    h += std::string(kCloseIndent) + "</tr>" + kCrLf;
    for (const NewGameEntry& g : games) {
        h += "<tr>";
        h += kCrLf;
        h += Cell("<td >" + g.testDate + "</td>");
        h += Cell("<td><a href=\"" + g.reviewLink + "\" target=\"_blank\" title=\"" + g.name + "\">" + g.name +
                  "</a></td>");
        h += Cell("<td>" + g.phase + "</td>");
        h += Cell("<td>" + g.code + "</td>");
        h += Cell("<td><a href=\"" + g.developerLink + "\" target=\"_blank\">" + g.developer + "</a></td>");
        h += Cell("<td><a href=\"" + g.operatorLink + "\" target=\"_blank\">" + g.operatorName + "</a></td>");
        h += std::string(kCloseIndent) + "</tr>" + kCrLf;
    }
    h += "</table>";
    h += kCrLf;
    h += "<div class=\"page\"><a href=\"#\">上一页</a> <a href=\"#\">下一页</a></div>";
    h += kCrLf;
    h += "</div>";
    h += kCrLf;
    h += "</body></html>";
    h += kCrLf;
    return ReplicaUtf8(h);
}

std::vector<NewGameEntry> SampleNewGames(const ReplicaCatalogue& catalogue, int page)
{
    std::vector<NewGameEntry> games;
    if (page < 1 || page > kSamplePages) return games;
    const int count = page == kSamplePages ? kLastPageGames : kNewGamesPerPage;
    for (int k = 0; k < count; ++k) {
        const int i = (page - 1) * kNewGamesPerPage + k;
        NewGameEntry g;
        g.testDate = TestDate(i);
        g.name = NameOf(catalogue, i);
        const std::string number = std::to_string(4000 + i);
        // Every third review link names the list it came from: "game" stands twice in it.
        g.reviewLink = "/game-info-" + number + (i % 3 == 0 ? ".html?from=newgame" : ".html");
        g.phase = kPhases[i % std::size(kPhases)];
        g.code = i % 4 == 1 ? "需要" : "不需要";
        g.developer = kCompanies[i % std::size(kCompanies)];
        g.operatorName = kCompanies[(i * 7 + 3) % std::size(kCompanies)];
        g.developerLink = i % 11 == 5 ? std::string("javascript:void(0)")
                                      : "http://newgame.17173.com/company-" + std::to_string(100 + i % 11) + ".html";
        g.operatorLink = i % 13 == 7 ? std::string()
                                     : "http://newgame.17173.com/company-" + std::to_string(100 + (i * 7 + 3) % 11) +
                                           ".html";
        games.push_back(std::move(g));
    }
    return games;
}

}  // namespace replica

void AddNewGameRoutes(ReplicaRoutes& routes, std::shared_ptr<const ReplicaCatalogue> catalogue)
{
    routes.Add("/testing-list.html", [catalogue](const ReplicaRequest& r) {
        ReplicaPage page;
        page.contentType = "text/html; charset=utf-8";
        page.body = replica::NewGameListPageHtml(replica::SampleNewGames(*catalogue, std::atoi(r.Param("page").c_str())));
        return std::optional<ReplicaPage>(std::move(page));
    });
}
