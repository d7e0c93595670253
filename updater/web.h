#pragma once
// The updater's plain HTTP GET for the release description and the banner.
#include "runtime/text.h"

#include <cstddef>

namespace updater {

// The most a reply of HttpGetBytes may hold. A longer one reads as a failed request: nothing the
// updater fetches this way (a short XML file, a small picture) comes near it.
inline constexpr std::size_t kHttpGetLimit = 4u * 1024u * 1024u;

// A GET of `url`, always fetched fresh (not answered from the cache, not written to it). The reply
// body; empty bytes when the request fails, the status is not 200 or the body is longer than
// kHttpGetLimit. The WinINet session is opened on first use and kept until CloseWebSession.
ByteSet HttpGetBytes(const Text& url);
void CloseWebSession();

}  // namespace updater
