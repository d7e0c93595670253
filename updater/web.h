#pragma once
// The updater's plain HTTP GET for the release description and the banner.
#include "runtime/text.h"

#include <cstddef>

namespace updater {

// The most a reply of HttpGetBytes may hold. A longer one reads as a failed request: nothing the
// updater fetches this way (a short XML file, a small picture) comes near it.
inline constexpr std::size_t kHttpGetLimit = 4u * 1024u * 1024u;
// How long one GET may take in all, however the server spreads its bytes: each wait on it has a
// time-out of its own, but a server that trickles a byte now and then would never meet those.
inline constexpr unsigned kHttpGetDeadlineMs = 30000;

// A GET of `url`, always fetched fresh (not answered from the cache, not written to it). The reply
// body; empty bytes when the request fails, the status is not 200, the body is longer than
// kHttpGetLimit or the whole reply has not arrived within `deadlineMs`. The request runs on a worker
// (the caller waits for it without handling messages); one given up on ends there by itself. The
// WinINet session is opened on first use and kept until CloseWebSession.
ByteSet HttpGetBytes(const Text& url, unsigned deadlineMs = kHttpGetDeadlineMs);
void CloseWebSession();

}  // namespace updater
