#include "helpers/hosts.h"

#include "runtime/files.h"

namespace {

// The public hosts of the platform, the portals and the maker.
constexpr char kAjaxHost[] = "ajax.5173.com";
constexpr char kTradingHost[] = "trading.5173.com";
constexpr char kDealListHost[] = "trading.5173.com";
constexpr char kListingHost[] = "s.5173.com";
constexpr char kRankingHost[] = "qqgame.qq.com";
constexpr char kNewGameHost[] = "newgame.17173.com";
constexpr char kGiftHost[] = "hao.17173.com";
constexpr char kMakerHost[] = "www.brelmor.com";
constexpr char kConnectivityUrl[] = "http://www.baidu.com/";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

Text Trimmed(Text s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// host[:port]: a name of letters, digits, "-", "." and "_", optionally ":" and a port 1..65535.
// (The HTTP client cuts the host at its first ":", so there is no room for IPv6 literals here.)
bool IsHostAndPort(const Text& s) {
    std::size_t colon = s.find(':');
    Text host = s.substr(0, colon);
    if (host.empty()) return false;
    for (char c : host) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '.' || c == '_';
        if (!ok) return false;
    }
    if (colon == Text::npos) return true;
    Text port = s.substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

Text HostFromEnvironment(const char* variable, const char* fallback) {
    Text value = Trimmed(ReadEnvironment(variable));
    if (value.size() >= 7 && ToLowerAscii(std::string_view(value).substr(0, 7)) == "http://")
        value.erase(0, 7);
    if (!value.empty() && value.back() == '/') value.pop_back();
    return IsHostAndPort(value) ? value : Text(fallback);
}

}  // namespace

Text AjaxHost() { return HostFromEnvironment("QUOVANTA_AJAX_HOST", kAjaxHost); }
Text TradingHost() { return HostFromEnvironment("QUOVANTA_TRADING_HOST", kTradingHost); }
Text DealListHost() { return HostFromEnvironment("QUOVANTA_DEALLIST_HOST", kDealListHost); }
Text ListingHost() { return HostFromEnvironment("QUOVANTA_LISTING_HOST", kListingHost); }
Text RankingHost() { return HostFromEnvironment("QUOVANTA_RANKING_HOST", kRankingHost); }
Text NewGameHost() { return HostFromEnvironment("QUOVANTA_NEWGAME_HOST", kNewGameHost); }
Text GiftHost() { return HostFromEnvironment("QUOVANTA_GIFT_HOST", kGiftHost); }
Text MakerHost() { return HostFromEnvironment("QUOVANTA_MAKER_HOST", kMakerHost); }

Text ConnectivityUrl() {
    Text value = Trimmed(ReadEnvironment("QUOVANTA_CONNECTIVITY_URL"));
    // A whole address without blanks or control characters; anything else keeps the built-in page.
    bool ok = !value.empty();
    for (unsigned char c : value)
        if (c <= ' ' || c == 0x7F) ok = false;
    return ok ? value : Text(kConnectivityUrl);
}
