#include "helpers/http_client.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstring>

#include "helpers/message_pump.h"
#include "runtime/seams.h"
#include "runtime/text.h"

namespace {

// The browser identity every request of the program carries.
constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// Connect, receive and send time-out of every request.
constexpr DWORD kTimeoutMs = 18000;
// Size of one read of the reply; the windows get their messages between two reads.
constexpr DWORD kReadPiece = 512;

constexpr char kAcceptLine[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

std::atomic<unsigned> g_deadlineMs{kHttpRequestDeadlineMs};

// 0-based start and length of the host part (host with ":port") of a URL.
struct HostPart {
    std::size_t start = 0;
    std::size_t length = 0;
};

bool HasHttpPrefix(const Text& url) {
    return url.size() >= 7 && ToLowerAscii(std::string_view(url).substr(0, 7)) == "http://";
}

// After "http://" (any letter case) or from the start, up to the first "/". Neither "/" nor ":"
// can be the second byte of a GBK character, so plain byte searches are safe here.
HostPart FindHostPart(const Text& url) {
    HostPart part;
    part.start = HasHttpPrefix(url) ? 7 : 0;
    std::size_t slash = url.find('/', part.start);
    part.length = (slash == Text::npos ? url.size() : slash) - part.start;
    return part;
}

// The decimal number at the start of the text after the host's ":" (a sign, digits and a fraction),
// truncated to an integer; 0 when the text does not start with one. Values beyond the port range
// are kept out of range (saturated) so that the request refuses them instead of wrapping.
int LeadingPortNumber(std::string_view s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (value < 1000000) value = value * 10 + (s[i] - '0');
    // A fraction (".5") only ends the number: truncation drops it.
    return static_cast<int>(negative ? -value : value);
}

// Appends a default header line unless the caller's headers already name that header.
void AddDefaultHeader(Text& headers, const char* name, const Text& line) {
    if (FindText(headers, name, 1, true) == 0) headers += line;
}

// Owns the three WinINet handles of one request. They are closed children first (request,
// connection, root), as WinINet asks: closing the root first frees the children with it, and as
// WinINet hands freed handle values out again at once, closing the stale child values afterwards
// could close a handle that a request on another thread has just been given.
struct RequestHandles {
    HINTERNET root = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    ~RequestHandles() {
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        if (root) InternetCloseHandle(root);
    }
};

Text QueryRawHeaders(HINTERNET request) {
    // The raw headers rarely exceed 1 KiB; when they do, the query tells the size it needs and is
    // asked once more with a buffer of that size, so long header blocks arrive whole.
    std::string buffer(1024, ' ');
    DWORD length = 1024;
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= 1024 || length > kHttpReplyLimit)
            return Text();
        buffer.assign(length, ' ');
        if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
            return Text();
    }
    std::size_t nul = buffer.find('\0');
    return nul == std::string::npos ? buffer : buffer.substr(0, nul);
}

// Makes the request and appends the reply body to `reply` (a Text or a ByteSet).
template <class Reply>
void PerformRequest(HttpRequest& r, Reply& reply) {
    // A CR or LF in the address would end the Referer line early and smuggle header lines of the
    // address's choosing into the request: such an address is not a URL and is not requested.
    if (r.url.find_first_of("\r\n") != Text::npos) return;
    BeforeWorkerRequest(r.url);

    const DWORD started = GetTickCount();
    const DWORD deadline = g_deadlineMs.load();
    RequestHandles h;
    if (r.proxy) {
        Text proxyList = "http=" + *r.proxy;
        h.root = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), "", 0);
    } else {
        h.root = InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    }
    if (!h.root) return;

    // A port outside 0..65535 would silently wrap to another port: no connection is made.
    int port = GetUrlPort(r.url);
    if (port < 0 || port > 65535) return;
    Text host = GetUrlHost(r.url);
    h.connection = InternetConnectA(h.root, host.c_str(), static_cast<INTERNET_PORT>(port), "", "",
                                    INTERNET_SERVICE_HTTP, 0, 0);
    if (!h.connection) return;

    // "POST" in any letter case keeps the caller's spelling; everything else is a GET.
    if (ToUpperAscii(r.method) != "POST") r.method = "GET";

    Text path = GetUrlPath(r.url);
    h.request = HttpOpenRequestA(h.connection, r.method.c_str(), path.c_str(), "HTTP/1.1", nullptr,
                                 nullptr, INTERNET_FLAG_RELOAD, 0);
    if (!h.request) return;

    DWORD timeout = kTimeoutMs;
    InternetSetOptionA(h.request, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(h.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(h.request, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);

    Text& headers = r.requestHeaders;
    AddDefaultHeader(headers, "Accept: ", kAcceptLine);
    AddDefaultHeader(headers, "Referer: ", "Referer: " + r.url + "\r\n");
    AddDefaultHeader(headers, "Accept-Language: ", "Accept-Language: zh-cn\r\n");

    if (r.method == "GET") {
        HttpSendRequestA(h.request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
    } else {
        if (!r.body.empty()) {
            headers += "Content-Type: application/x-www-form-urlencoded\r\n";
            headers += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
        }
        HttpSendRequestA(h.request, headers.c_str(), static_cast<DWORD>(headers.size()),
                         r.body.empty() ? nullptr : r.body.data(), static_cast<DWORD>(r.body.size()));
    }
    // The send's result is not looked at: a failed send leaves nothing to read, and the loop
    // below then ends at its first read.

    // A read waits until its buffer is full or the reply has ended, however slowly the bytes come;
    // asking first how much has arrived, and reading no more than that, keeps each step short, so
    // that the deadline is looked at every 18 s at the latest.
    DWORD count = 1;
    while (count > 0 && GetTickCount() - started < deadline) {
        char buffer[kReadPiece] = {};
        PumpPendingMessages();
        DWORD available = 0;
        if (!InternetQueryDataAvailable(h.request, &available, 0, 0) || available == 0 || available > kReadPiece)
            available = kReadPiece;
        count = 0;
        InternetReadFile(h.request, buffer, available, &count);
        if (count > kReadPiece) count = 0;
        // At the limit the rest of the reply is dropped unread (closing the request discards it).
        std::size_t room = kHttpReplyLimit - reply.size();
        if (count >= room) {
            reply.insert(reply.end(), buffer, buffer + room);
            break;
        }
        reply.insert(reply.end(), buffer, buffer + count);
    }

    if (r.responseHeaders) *r.responseHeaders = QueryRawHeaders(h.request);
}

}  // namespace

void SetHttpRequestDeadline(unsigned milliseconds) {
    g_deadlineMs = milliseconds ? milliseconds : kHttpRequestDeadlineMs;
}

Text FetchUrlText(HttpRequest& request) {
    Text reply;
    PerformRequest(request, reply);
    std::size_t nul = reply.find('\0');
    if (nul != Text::npos) reply.resize(nul);
    return reply;
}

ByteSet FetchUrlBytes(HttpRequest& request) {
    ByteSet reply;
    PerformRequest(request, reply);
    return reply;
}

Text FetchUrlText(const Text& url) {
    HttpRequest request;
    request.url = url;
    return FetchUrlText(request);
}

ByteSet FetchUrlBytes(const Text& url) {
    HttpRequest request;
    request.url = url;
    return FetchUrlBytes(request);
}

Text GetUrlHost(const Text& url) {
    HostPart part = FindHostPart(url);
    Text host = url.substr(part.start, part.length);
    std::size_t colon = host.find(':');
    if (colon != Text::npos) host.resize(colon);
    return ToLowerAscii(host);
}

int GetUrlPort(const Text& url) {
    HostPart part = FindHostPart(url);
    std::string_view host = std::string_view(url).substr(part.start, part.length);
    std::size_t colon = host.find(':');
    if (colon == std::string_view::npos) return 80;
    return LeadingPortNumber(host.substr(colon + 1));
}

Text GetUrlPath(const Text& url) {
    // The path starts at the first "/" after the host. (Searching the URL for the host name from
    // its first byte would find a host such as "t" or "http" inside the scheme.)
    HostPart part = FindHostPart(url);
    std::size_t slash = url.find('/', part.start);
    return slash == Text::npos ? Text("/") : url.substr(slash);
}
