// Requests against a loopback server that records what arrived.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "helpers/http_client.h"
#include "support/loopback_http_server.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

const char kAgentLine[] = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const char kAcceptLine[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";
const char kLanguageLine[] = "Accept-Language: zh-cn";

// The header lines the client chose, without the ones WinINet adds on its own account
// (the Host line and connection or cache bookkeeping).
std::vector<std::string> ClientLines(const LoopbackRequest& request) {
    std::vector<std::string> lines;
    for (const std::string& line : request.headerLines) {
        std::string name = line.substr(0, line.find(':'));
        for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (name == "host" || name == "connection" || name == "cache-control" || name == "pragma") continue;
        lines.push_back(line);
    }
    return lines;
}

class FetchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    LoopbackRequest OnlyRequest() {
        std::vector<LoopbackRequest> requests = server.Requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? LoopbackRequest() : requests.front();
    }

    LoopbackHttpServer server;
};

TEST_F(FetchTest, GetSendsTheIdentityAndDefaultHeadersInOrder) {
    server.SetReply("/page", LoopbackReply::Ok("<html>页面</html>"));
    const std::string url = server.Url("/page?a=1&b=%D3%CE");

    EXPECT_EQ(FetchUrlText(url), "<html>页面</html>");

    LoopbackRequest request = OnlyRequest();
    EXPECT_EQ(request.requestLine, "GET /page?a=1&b=%D3%CE HTTP/1.1");
    EXPECT_EQ(request.Header("Host"), server.HostAndPort());
    EXPECT_THAT(ClientLines(request), ElementsAre(kAgentLine, kAcceptLine, "Referer: " + url, kLanguageLine));
    EXPECT_TRUE(request.body.empty());
}

TEST_F(FetchTest, PostWithBodySendsTheContentLinesAndTheBody) {
    server.SetReply("/form.aspx", LoopbackReply::Ok("done"));
    HttpRequest r;
    r.url = server.Url("/form.aspx");
    r.method = "POST";
    r.requestHeaders = "X-Mine: 1\r\n";
    r.body = "name=%D3%CE&x=1";

    EXPECT_EQ(FetchUrlText(r), "done");

    LoopbackRequest request = OnlyRequest();
    EXPECT_EQ(request.requestLine, "POST /form.aspx HTTP/1.1");
    EXPECT_THAT(ClientLines(request),
                ElementsAre(kAgentLine, "X-Mine: 1", kAcceptLine, "Referer: " + r.url, kLanguageLine,
                            "Content-Type: application/x-www-form-urlencoded", "Content-Length: 15"));
    EXPECT_EQ(request.body, "name=%D3%CE&x=1");
    // The caller's own header text now holds every line that was added to it.
    EXPECT_EQ(r.requestHeaders, std::string("X-Mine: 1\r\n") + kAcceptLine + "\r\nReferer: " + r.url +
                                    "\r\n" + kLanguageLine +
                                    "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 15\r\n");
}

TEST_F(FetchTest, PostWithEmptyBodyAddsNoContentLines) {
    server.SetReply("/p", LoopbackReply::Ok("ok"));
    HttpRequest r;
    r.url = server.Url("/p");
    r.method = "POST";

    EXPECT_EQ(FetchUrlText(r), "ok");

    EXPECT_THAT(r.requestHeaders, Not(HasSubstr("Content-")));
    LoopbackRequest request = OnlyRequest();
    EXPECT_EQ(request.requestLine, "POST /p HTTP/1.1");
    EXPECT_FALSE(request.HasHeader("Content-Type"));
    // WinINet itself announces the empty body of a POST; nothing beyond that is sent.
    EXPECT_LE(request.HeaderCount("Content-Length"), 1);
    EXPECT_EQ(request.Header("Content-Length"), request.HasHeader("Content-Length") ? "0" : "");
    EXPECT_TRUE(request.body.empty());
}

TEST_F(FetchTest, MethodIsRewrittenToGetUnlessItIsPostInAnyCase) {
    struct Case {
        const char* method;
        const char* sent;  // the first word of the request line, and the method variable afterwards
    } cases[] = {{"", "GET"}, {"PUT", "GET"}, {"get", "GET"}, {"HEAD", "GET"},
                 {"POST", "POST"}, {"post", "post"}, {"PoSt", "PoSt"}};
    server.SetReply("/m", LoopbackReply::Ok("m"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        server.ClearRequests();
        HttpRequest r;
        r.url = server.Url("/m");
        r.method = c.method;
        r.body = "k=v";
        EXPECT_EQ(FetchUrlText(r), "m");
        EXPECT_EQ(r.method, c.sent);
        LoopbackRequest request = OnlyRequest();
        EXPECT_EQ(request.method, c.sent);
        // Only a POST carries the body and its content lines.
        bool post = std::string(c.sent) != "GET";
        EXPECT_EQ(request.body, post ? "k=v" : "");
        EXPECT_EQ(request.HasHeader("Content-Type"), post);
    }
}

TEST_F(FetchTest, CallerHeadersSuppressOnlyTheirOwnDefault) {
    struct Case {
        const char* callerHeaders;
        const char* accept;
        const char* referer;  // nullptr: the default (the URL)
        const char* language;
    } cases[] = {
        {"accept: text/html\r\n", "text/html", nullptr, "zh-cn"},
        {"REFERER: http://elsewhere/\r\n", nullptr, "http://elsewhere/", "zh-cn"},
        {"Accept-Language: en\r\n", nullptr, nullptr, "en"},
        {"X-Other: 1\r\n", nullptr, nullptr, "zh-cn"},
    };
    server.SetReply("/h", LoopbackReply::Ok("h"));
    const std::string defaultAccept = std::string(kAcceptLine).substr(8);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.callerHeaders);
        server.ClearRequests();
        HttpRequest r;
        r.url = server.Url("/h");
        r.requestHeaders = c.callerHeaders;
        EXPECT_EQ(FetchUrlText(r), "h");
        LoopbackRequest request = OnlyRequest();
        EXPECT_EQ(request.HeaderCount("Accept"), 1);
        EXPECT_EQ(request.HeaderCount("Referer"), 1);
        EXPECT_EQ(request.HeaderCount("Accept-Language"), 1);
        EXPECT_EQ(request.Header("Accept"), c.accept ? c.accept : defaultAccept);
        EXPECT_EQ(request.Header("Referer"), c.referer ? c.referer : r.url);
        EXPECT_EQ(request.Header("Accept-Language"), c.language);
    }

    // A name is only recognised with its colon and blank: "Accept:" without the blank gets the
    // default line added after it.
    HttpRequest r;
    r.url = server.Url("/h");
    r.requestHeaders = "Accept:text/html\r\n";
    EXPECT_EQ(FetchUrlText(r), "h");
    EXPECT_EQ(r.requestHeaders, "Accept:text/html\r\n" + std::string(kAcceptLine) + "\r\nReferer: " + r.url +
                                    "\r\n" + kLanguageLine + "\r\n");
}

TEST_F(FetchTest, BodyWithNulByteIsCutAsTextAndKeptAsBytes) {
    const std::string body("abc\0def\0", 8);
    server.SetReply("/nul", LoopbackReply::Ok(body, "application/octet-stream"));

    EXPECT_EQ(FetchUrlText(server.Url("/nul")), "abc");
    ByteSet bytes = FetchUrlBytes(server.Url("/nul"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), body);
}

TEST_F(FetchTest, ErrorStatusGivesTheErrorPage) {
    EXPECT_EQ(FetchUrlText(server.Url("/missing")), "404 Not Found");
}

TEST_F(FetchTest, ChunkedReplyArrivesWhole) {
    LoopbackReply reply;
    reply.framing = LoopbackReply::Framing::Chunked;
    reply.generatedLength = 300000;
    server.SetReply("/chunked", reply);

    ByteSet bytes = FetchUrlBytes(server.Url("/chunked"));
    ASSERT_EQ(bytes.size(), 300000u);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] != static_cast<unsigned char>(LoopbackReply::PatternByte(i))) FAIL() << "byte " << i;
}

TEST_F(FetchTest, ResponseHeadersOnlyWhenAskedForAndWholeWhenLong) {
    LoopbackReply reply = LoopbackReply::Ok("x");
    const std::string longValue(3000, 'v');
    reply.headerLines.push_back("X-Long: " + longValue);
    server.SetReply("/headers", reply);

    HttpRequest r;
    r.url = server.Url("/headers");
    EXPECT_EQ(FetchUrlText(r), "x");
    EXPECT_FALSE(r.responseHeaders.has_value());

    r.responseHeaders.emplace();
    EXPECT_EQ(FetchUrlText(r), "x");
    ASSERT_TRUE(r.responseHeaders.has_value());
    EXPECT_EQ(r.responseHeaders->rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_THAT(*r.responseHeaders, HasSubstr("\r\nX-Long: " + longValue + "\r\n"));
    EXPECT_THAT(*r.responseHeaders, HasSubstr("\r\nContent-Type: text/html\r\n"));
}

TEST_F(FetchTest, ProxyArgumentSendsTheRequestToTheProxy) {
    LoopbackHttpServer proxy([](const LoopbackRequest&) { return LoopbackReply::Ok("via proxy"); });
    ASSERT_TRUE(proxy.Start());
    HttpRequest r;
    r.url = "http://outside.invalid/list?g=1";
    r.proxy = proxy.HostAndPort();

    EXPECT_EQ(FetchUrlText(r), "via proxy");
    std::vector<LoopbackRequest> requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    // The whole address goes to the proxy (Wine's WinINet writes the default port into it).
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_THAT(requests[0].target, ::testing::AnyOf("http://outside.invalid/list?g=1",
                                                     "http://outside.invalid:80/list?g=1"));
    EXPECT_EQ(requests[0].Header("Host"), "outside.invalid");
}

TEST_F(FetchTest, UnreachableServersGiveEmptyResults) {
    // A port that nothing listens on: take a free one and let it go again.
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
    closesocket(s);
    const std::string refused = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

    for (const std::string& url : {refused, std::string("http://no-such-host.invalid/x")}) {
        SCOPED_TRACE(url);
        EXPECT_EQ(FetchUrlText(url), "");
        EXPECT_TRUE(FetchUrlBytes(url).empty());
        HttpRequest r;
        r.url = url;
        r.responseHeaders.emplace("unchanged");
        EXPECT_EQ(FetchUrlText(r), "");
        // No reply, so no status line or header line (at most the empty line that ends them).
        EXPECT_EQ(r.responseHeaders->find_first_not_of("\r\n"), std::string::npos) << *r.responseHeaders;
    }
}

TEST_F(FetchTest, AddressesThatCannotBeRequestedSendNothing) {
    server.SetReply("/x", LoopbackReply::Ok("x"));
    // A port beyond 65535 would wrap around to the server's own port.
    const std::string wrapped = "http://127.0.0.1:" + std::to_string(server.Port() + 65536) + "/x";
    EXPECT_EQ(GetUrlPort(wrapped), server.Port() + 65536);
    EXPECT_EQ(FetchUrlText(wrapped), "");
    // CR LF in an address would inject header lines through the Referer line.
    EXPECT_EQ(FetchUrlText(server.Url("/x\r\nX-Injected: 1")), "");
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(FetchTest, ServerThatHangsUpGivesWhatArrived) {
    LoopbackReply silent;
    silent.closeWithoutReply = true;
    server.SetReply("/silent", silent);
    LoopbackReply cut = LoopbackReply::Ok(std::string(1000, 'z'));
    cut.closeAfterBytes = 300;
    server.SetReply("/cut", cut);

    EXPECT_EQ(FetchUrlText(server.Url("/silent")), "");
    EXPECT_EQ(FetchUrlText(server.Url("/cut")), std::string(300, 'z'));
}

TEST_F(FetchTest, SlowServersEndAfterTheReceiveTimeOutWithWhatArrived) {
    // Both longer than the 18-second receive time-out: no reply at all for a minute, and 100 bytes
    // followed by a minute of silence. The two requests run side by side to wait only once.
    LoopbackReply silent = LoopbackReply::Ok(std::string(200, 'd'));
    silent.delayMs = 60000;
    server.SetReply("/delay", silent);
    LoopbackReply stalled = LoopbackReply::Ok(std::string(200, 's'));
    stalled.stallAfterBytes = 100;
    stalled.stallMs = 60000;
    server.SetReply("/stall", stalled);

    auto start = std::chrono::steady_clock::now();
    Text delayed;
    std::chrono::steady_clock::duration delayedWaited{};
    std::thread other([&] {
        delayed = FetchUrlText(server.Url("/delay"));
        delayedWaited = std::chrono::steady_clock::now() - start;
    });
    EXPECT_EQ(FetchUrlText(server.Url("/stall")), std::string(100, 's'));
    auto stalledWaited = std::chrono::steady_clock::now() - start;
    other.join();

    EXPECT_EQ(delayed, "");
    // The client gave up on its own, long before the server would have gone on.
    for (auto waited : {delayedWaited, stalledWaited}) {
        EXPECT_LT(waited, std::chrono::seconds(45));
        EXPECT_GE(waited, std::chrono::seconds(15));
    }
}

TEST_F(FetchTest, AServerThatTricklesBytesIsCutOffAtTheDeadline) {
    // A byte every 400 ms keeps every single wait short; only the deadline of the whole request ends
    // it. (The real deadline is minutes long; the test sets a short one.)
    LoopbackReply trickle = LoopbackReply::Ok(std::string(200, 't'));
    trickle.trickleMs = 400;
    server.SetReply("/trickle", trickle);
    SetHttpRequestDeadline(2500);
    auto start = std::chrono::steady_clock::now();
    Text got = FetchUrlText(server.Url("/trickle"));
    auto waited = std::chrono::steady_clock::now() - start;
    SetHttpRequestDeadline(0);
    EXPECT_LT(waited, std::chrono::seconds(6));
    EXPECT_GE(got.size(), 2u);
    EXPECT_LT(got.size(), 20u);
    EXPECT_EQ(got, std::string(got.size(), 't'));
}

TEST_F(FetchTest, HugeReplyIsCutAt64MiB) {
    LoopbackReply huge;
    huge.generatedLength = 70ull * 1024 * 1024;
    huge.headerLines.push_back("Cache-Control: no-store");  // keep WinINet from copying it to its cache
    server.SetReply("/huge", huge);

    ByteSet bytes = FetchUrlBytes(server.Url("/huge"));
    ASSERT_EQ(bytes.size(), kHttpReplyLimit);
    for (std::size_t i = 0; i < bytes.size(); i += 4093)
        ASSERT_EQ(bytes[i], static_cast<unsigned char>(LoopbackReply::PatternByte(i))) << "byte " << i;
    EXPECT_EQ(bytes.back(), static_cast<unsigned char>(LoopbackReply::PatternByte(kHttpReplyLimit - 1)));

    EXPECT_EQ(FetchUrlText(server.Url("/huge")).size(), kHttpReplyLimit);
}

TEST_F(FetchTest, ConcurrentRequestsEachGetTheirOwnReply) {
    LoopbackHttpServer echo([](const LoopbackRequest& request) { return LoopbackReply::Ok("reply to " + request.target); });
    ASSERT_TRUE(echo.Start());
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                std::string target = "/t" + std::to_string(t) + "?i=" + std::to_string(i);
                if (FetchUrlText(echo.Url(target)) != "reply to " + target) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(echo.RequestCount(), 200u);
}

// A window whose procedure counts the messages it is sent.
struct CountingWindow {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_APP) ++received;
        return DefWindowProcA(hwnd, message, w, l);
    }
    CountingWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuovantaFetchCountingWindow";
        RegisterClassA(&wc);
        hwnd = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        received = 0;
    }
    ~CountingWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
    static inline int received = 0;
};

TEST_F(FetchTest, WindowMessagesAreProcessedWhileTheReplyIsRead) {
    server.SetReply("/w", LoopbackReply::Ok("w"));
    CountingWindow window;
    PostMessageA(window.hwnd, WM_APP, 0, 0);
    PostMessageA(window.hwnd, WM_APP, 0, 0);
    PostQuitMessage(7);

    EXPECT_EQ(FetchUrlText(server.Url("/w")), "w");

    EXPECT_EQ(CountingWindow::received, 2);
    // The quit message is left for the thread's message loop.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
