#pragma once
// Where the updater goes on the network, each overridable by an environment variable (read at every
// call), so that a local replica or a test server can stand in:
//
//   QUOVANTA_MAKER_HOST        the maker's web server, "host" or "host:port" ("http://" in front and
//                              one "/" at the end are tolerated)
//   QUOVANTA_CONNECTIVITY_URL  the whole address ("http://..." or "https://...") of the page that
//                              tells whether the network works
//
// A variable that is unset, empty or malformed leaves the built-in value in force.
#include "runtime/text.h"

namespace updater {

Text MakerHost();
Text ConnectivityUrl();

// "http://" + MakerHost() + path (a path beginning with "/").
Text MakerUrl(std::string_view path);

}  // namespace updater
