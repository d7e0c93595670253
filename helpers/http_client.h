#pragma once
// The program's HTTP client: one blocking request over WinINet with the program's browser identity,
// default request headers and time-outs, returning the whole reply body.
//
// Every call opens and closes its own WinINet handles; nothing is kept between calls, so the functions
// may be called from any thread at the same time. Between the 512-byte reads of a reply the calling
// thread's pending window messages are processed, so a request made on a window thread keeps its
// windows responsive.
#include <optional>

#include "runtime/text.h"

// The arguments of one request. The fields marked in/out are changed in the record itself, so a
// caller that keeps the record sees what was sent.
struct HttpRequest {
    // The address; "http://" may be left out ("host/list.aspx").
    Text url;
    // In/out. "POST" in any letter case sends a POST with the method written exactly as given
    // ("post" is sent as "post"); anything else, the empty text included, becomes "GET".
    Text method;
    // When present (even empty) the request goes through the proxy list "http=" + *proxy.
    std::optional<Text> proxy;
    // In/out. Extra header lines, each ending in CR LF. The default lines (Accept, Referer,
    // Accept-Language) that the caller did not give and, for a POST with a body, the Content-Type
    // and Content-Length lines are appended to this text.
    Text requestHeaders;
    // The form body of a POST, sent as is.
    Text body;
    // When present, receives the raw reply headers (status line and header lines, CR LF separated).
    std::optional<Text> responseHeaders;
};

// The most a reply is read to (64 MiB). A longer reply is cut there and the rest is never read, so
// a hostile or broken server cannot exhaust the memory of the 32-bit process.
inline constexpr std::size_t kHttpReplyLimit = 64u * 1024u * 1024u;

// The longest one request may go on: 300 s from its start, enough for a page of several megabytes over
// a line of 64 kbit/s. Each wait inside a request (connecting, sending, each read) also ends after 18 s
// without progress, but a server that sends a byte every few seconds would otherwise hold the request
// for ever: past the deadline no further read is made and the request gives what has arrived. (The
// reply's status line and headers are read inside the send, whose waits are bounded only one by one.)
inline constexpr unsigned kHttpRequestDeadlineMs = 300000;
// Tests: the deadline of the requests started from now on (0 restores kHttpRequestDeadlineMs).
void SetHttpRequestDeadline(unsigned milliseconds);

// The reply body as text up to its first NUL byte, without code-page conversion. Empty when the
// request cannot be set up; a failure later gives what was read before it (usually nothing).
Text FetchUrlText(HttpRequest& request);
// The same request; the reply body with every byte kept.
ByteSet FetchUrlBytes(HttpRequest& request);

// A GET of the URL alone with the default headers (what every caller of the program does).
Text FetchUrlText(const Text& url);
ByteSet FetchUrlBytes(const Text& url);

// The host name of the URL, lower-cased: the text after "http://" (any letter case) or from the
// start, up to the first "/", cut before the first ":".
Text GetUrlHost(const Text& url);
// The port the URL names after the host's ":" (read as a decimal number, 0 when none is there),
// 80 when the host part has no ":".
int GetUrlPort(const Text& url);
// The object path with query and fragment from the first "/" after the host, "/" when there is none.
Text GetUrlPath(const Text& url);
