// The outside hosts and their environment overrides.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "helpers/hosts.h"

namespace {

void SetVariable(const std::string& name, const std::string& value) {
    // _putenv changes both the C runtime's copy of the environment and the process's own.
    std::string assignment = name + "=" + value;
    _putenv(assignment.c_str());
}

struct HostCase {
    const char* variable;
    Text (*get)();
    const char* builtIn;
};

const HostCase kHosts[] = {
    {"QUOVANTA_AJAX_HOST", AjaxHost, "ajax.5173.com"},
    {"QUOVANTA_TRADING_HOST", TradingHost, "trading.5173.com"},
    {"QUOVANTA_DEALLIST_HOST", DealListHost, "trading.5173.com"},
    {"QUOVANTA_LISTING_HOST", ListingHost, "s.5173.com"},
    {"QUOVANTA_RANKING_HOST", RankingHost, "qqgame.qq.com"},
    {"QUOVANTA_NEWGAME_HOST", NewGameHost, "newgame.17173.com"},
    {"QUOVANTA_GIFT_HOST", GiftHost, "hao.17173.com"},
    {"QUOVANTA_MAKER_HOST", MakerHost, "www.brelmor.com"},
};

TEST(OutsideHosts, EachHostFollowsItsOwnVariable) {
    struct Override {
        const char* value;
        const char* expected;  // nullptr: the built-in host stays
    } overrides[] = {
        {"127.0.0.1:8080", "127.0.0.1:8080"},
        {"replica.local", "replica.local"},
        {"  localhost:81  ", "localhost:81"},
        {"http://127.0.0.1:9000/", "127.0.0.1:9000"},
        {"", nullptr},
        {"host name", nullptr},
        {"host/path", nullptr},
        {"host:", nullptr},
        {"host:0", nullptr},
        {"host:70000", nullptr},
        {"host:80x", nullptr},
    };
    for (const HostCase& h : kHosts) {
        SCOPED_TRACE(h.variable);
        SetVariable(h.variable, "");
        EXPECT_EQ(h.get(), h.builtIn);
        for (const Override& o : overrides) {
            SCOPED_TRACE(o.value);
            SetVariable(h.variable, o.value);
            EXPECT_EQ(h.get(), o.expected ? o.expected : h.builtIn);
        }
        // One variable moves one host only.
        SetVariable(h.variable, "moved.example:1234");
        for (const HostCase& other : kHosts)
            if (&other != &h) {
                EXPECT_EQ(other.get(), other.builtIn) << other.variable;
            }
        SetVariable(h.variable, "");
    }
}

TEST(OutsideHosts, ConnectivityUrlIsAWholeAddress) {
    SetVariable("QUOVANTA_CONNECTIVITY_URL", "");
    EXPECT_EQ(ConnectivityUrl(), "http://www.baidu.com/");
    SetVariable("QUOVANTA_CONNECTIVITY_URL", "http://127.0.0.1:8080/ok.html");
    EXPECT_EQ(ConnectivityUrl(), "http://127.0.0.1:8080/ok.html");
    SetVariable("QUOVANTA_CONNECTIVITY_URL", "http://a b/");
    EXPECT_EQ(ConnectivityUrl(), "http://www.baidu.com/");
    SetVariable("QUOVANTA_CONNECTIVITY_URL", "");
}

}  // namespace
