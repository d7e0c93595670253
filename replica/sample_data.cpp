#include "replica/sample_data.h"

#include <cstdint>
#include <cstdio>

namespace {

struct NamedGame {
    const char* name;
    const char* spell;
};

// The sample games, in the order the platform lists them (grouped by the first letter of the spell).
const NamedGame kGames[] = {
    {"3D坦克", "3DTK"},          {"3D魔幻", "3DMH"},          {"3D赛车", "3DSC"},
    {"暗黑破坏神3", "AHPHS"},    {"成吉思汗", "CJSH"},        {"传奇世界", "CQSJ"},
    {"穿越火线", "CYHX"},        {"大话西游2", "DHXY"},       {"地下城与勇士", "DXCYYS"},
    {"刀剑英雄", "DJYX"},        {"斗战神", "DZS"},           {"火影忍者", "HYRZ"},
    {"剑侠情缘网络版三", "JXQY"}, {"劲舞团", "JWT"},           {"剑灵", "JL"},
    {"九阴真经", "JYZJ"},        {"激战2", "JZ"},             {"LaTale", "LATALE"},
    {"龙之谷", "LZG"},           {"炉石传说", "LSCS"},        {"洛奇英雄传", "LQYXZ"},
    {"梦幻西游", "MHXY"},        {"魔兽世界(国服)", "MSSJ"},  {"冒险岛", "MXD"},
    {"跑跑卡丁车", "PPKDC"},     {"QQ三国", "QQSG"},          {"QQ华夏", "QQHX"},
    {"QQ幻想", "QQHX"},          {"QQ飞车", "QQFC"},          {"QQ炫舞", "QQXW"},
    {"QQ自由幻想", "QQZYHX"},    {"奇迹MU", "QJMU"},          {"倩女幽魂", "QNYH"},
    {"热血传奇", "RXCQ"},        {"蜀门", "SM"},              {"神鬼传奇", "SGCQ"},
    {"天龙八部", "TLBB"},        {"天下贰", "TXE"},           {"完美世界国际版", "WMSJ"},
    {"问道", "WD"},              {"武林外传", "WLWZ"},        {"寻仙", "XX"},
    {"轩辕传奇", "XYCQ"},        {"英雄联盟", "YXLM"},        {"永恒之塔", "YHZT"},
    {"征途", "ZT"},              {"诛仙", "ZX"},              {"最终幻想14", "ZZHX"},
};

const char* const kAreaNames[] = {"电信一区", "电信二区", "网通一区", "网通二区", "双线区", "华东电信",
                                  "华南电信", "华北网通", "西南电信", "新区"};
const char* const kServerNames[] = {"紫禁之巅", "长安城", "洛阳", "金陵", "蓬莱仙岛", "天山", "昆仑",
                                    "峨眉", "武当", "少林", "华山", "青城"};
const char* const kGoodsTypeNames[] = {"游戏币", "装备", "帐号", "点卡", "代练", "其他"};

std::uint32_t Hash(const std::string& s, std::uint32_t seed)
{
    std::uint32_t h = 2166136261u ^ seed;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

ReplicaGame MakeGame(const std::string& name, const std::string& spell)
{
    ReplicaGame g;
    g.name = name;
    g.spell = spell;
    g.group = spell.empty() ? std::string("0") : std::string(1, spell[0]);
    g.id = ReplicaId("game:" + name);
    std::uint32_t h = Hash(name, 7);
    int areaCount = 2 + static_cast<int>(h % 5);
    for (int a = 0; a < areaCount; ++a) {
        ReplicaArea area;
        area.name = kAreaNames[(h / 5 + static_cast<std::uint32_t>(a)) % 10];
        area.id = ReplicaId(g.id + ":area:" + std::to_string(a));
        int serverCount = 2 + static_cast<int>(Hash(area.id, 3) % 6);
        for (int s = 0; s < serverCount; ++s) {
            ReplicaServer server;
            server.name = kServerNames[(Hash(area.id, 5) + static_cast<std::uint32_t>(s)) % 12];
            server.id = ReplicaId(area.id + ":server:" + std::to_string(s));
            area.servers.push_back(server);
        }
        g.areas.push_back(area);
    }
    int typeCount = 3 + static_cast<int>((h / 7) % 4);
    for (int t = 0; t < typeCount; ++t)
        g.goodsTypes.push_back({ReplicaId(g.id + ":type:" + std::to_string(t)), kGoodsTypeNames[t]});
    return g;
}

}  // namespace

std::string ReplicaId(const std::string& seed)
{
    char out[40];
    std::snprintf(out, sizeof out, "%08x%08x%08x%08x", static_cast<unsigned>(Hash(seed, 1)),
                  static_cast<unsigned>(Hash(seed, 2)), static_cast<unsigned>(Hash(seed, 3)),
                  static_cast<unsigned>(Hash(seed, 4)));
    return out;
}

ReplicaCatalogue::ReplicaCatalogue(std::vector<ReplicaGame> games) : games_(std::move(games))
{
    for (std::size_t i = 0; i < games_.size(); ++i) {
        gameIndex_.emplace(games_[i].id, i);
        for (std::size_t a = 0; a < games_[i].areas.size(); ++a)
            areaIndex_.emplace(games_[i].areas[a].id, std::make_pair(i, a));
    }
}

const ReplicaGame* ReplicaCatalogue::FindGame(const std::string& id) const
{
    auto it = gameIndex_.find(id);
    return it == gameIndex_.end() ? nullptr : &games_[it->second];
}

const ReplicaArea* ReplicaCatalogue::FindArea(const std::string& id) const
{
    auto it = areaIndex_.find(id);
    return it == areaIndex_.end() ? nullptr : &games_[it->second.first].areas[it->second.second];
}

std::shared_ptr<const ReplicaCatalogue> SampleCatalogue()
{
    static const std::shared_ptr<const ReplicaCatalogue> catalogue = [] {
        std::vector<ReplicaGame> games;
        for (const NamedGame& g : kGames)
            games.push_back(MakeGame(g.name, g.spell));
        return std::make_shared<const ReplicaCatalogue>(std::move(games));
    }();
    return catalogue;
}

std::shared_ptr<const ReplicaCatalogue> GeneratedCatalogue(int count)
{
    // Names of two to five characters from a pool of common ones, numbered to keep them apart.
    static const char* const kSyllables[] = {"天", "龙", "剑", "侠", "仙", "魔", "神", "战", "传", "奇",
                                             "梦", "幻", "西", "游", "三", "国", "英", "雄", "武", "林"};
    static const char* const kSpells = "TLJXXMSZCQMHXYSGYXWL";
    std::vector<ReplicaGame> games;
    games.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i) {
        std::string name, spell;
        int length = 2 + i % 4;
        for (int k = 0; k < length; ++k) {
            int s = (i * 7 + k * 13 + i / 20) % 20;
            name += kSyllables[s];
            spell += kSpells[s];
        }
        if (i % 10 == 3) {
            name = "QQ" + name;
            spell = "QQ" + spell;
        } else if (i % 10 == 7) {
            name = "3D" + name;
            spell = "3D" + spell;
        }
        name += std::to_string(i + 1);
        games.push_back(MakeGame(name, spell));
    }
    return std::make_shared<const ReplicaCatalogue>(std::move(games));
}
