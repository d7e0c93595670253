#pragma once
// The outside hosts the programs talk to, in one place. Each is "host" or "host:port", ready to be
// put between "http://" and a path, and each can be pointed elsewhere (a local replica, a test
// server) by its environment variable, read at every call:
//
//   QUOVANTA_AJAX_HOST        the trading platform's ajax endpoints (games, areas, servers)
//   QUOVANTA_TRADING_HOST     the trading platform's goods-type endpoint
//   QUOVANTA_DEALLIST_HOST    the trading platform's latest-deal list pages
//   QUOVANTA_LISTING_HOST     the trading platform's search and listing pages
//   QUOVANTA_RANKING_HOST     the QQ Games weekly ranking pages
//   QUOVANTA_NEWGAME_HOST     the 17173 new-game test list and review pages
//   QUOVANTA_GIFT_HOST        the 17173 gift pages
//   QUOVANTA_MAKER_HOST       the maker's web server (version page, release files, market pages)
//   QUOVANTA_CONNECTIVITY_URL the whole address of the updater's connectivity test page
//
// A variable that is unset, empty or not of the form host[:port] (an "http://" in front and a "/"
// at the end are tolerated) leaves the built-in host in force.
#include "runtime/text.h"

Text AjaxHost();
Text TradingHost();
Text DealListHost();
Text ListingHost();
Text RankingHost();
Text NewGameHost();
Text GiftHost();
Text MakerHost();

// A whole URL ("http://..."), not a host.
Text ConnectivityUrl();
