#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests and for local stand-ins of the outside services.
//
// It listens on a free port of the loopback interface, serves every connection on a thread of its
// own and answers each request with the reply that a handler callback (or, without one, the table
// of canned replies) gives for it. Every request is recorded as it arrived: the request line, the
// header lines in order and the body, so that a test can assert exactly what a client sent.
//
// Replies can be shaped to imitate real servers and bad ones: a delay before the reply, a stall or
// a dropped connection after some bytes of the body, Content-Length, chunked or close-delimited
// bodies, and generated bodies of any size that are produced piece by piece while they are sent.
// Each connection carries one request: every reply ends with "Connection: close".
//
// The server is bounded in time, so that a test that goes wrong cannot leave it running: it stops
// by itself after its lifetime (10 minutes unless Start is given another; Start(0) serves until
// Stop, for a long-running stand-in), and a connection whose client sends or reads nothing for 30
// seconds is dropped. Typical use:
//
//   LoopbackHttpServer server;
//   ASSERT_TRUE(server.Start());
//   server.SetReply("/list.aspx", LoopbackReply::Ok("<html>...</html>"));
//   Text page = FetchUrlText(server.Url("/list.aspx?pg=1"));
//   EXPECT_EQ(server.Requests()[0].requestLine, "GET /list.aspx?pg=1 HTTP/1.1");
//
// To point the program at it, put server.HostAndPort() into a host variable (helpers/hosts.h).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct LoopbackRequest {
    std::string requestLine;               // "GET /a?b=1 HTTP/1.1", without CR LF
    std::vector<std::string> headerLines;  // in the order sent, each without CR LF
    std::string body;                      // as long as the request's Content-Length says
    std::string method, target, version;   // the three words of the request line

    // The target without its query ("?...").
    std::string Path() const;
    // The value of the first header of that name (any letter case), blanks around it removed;
    // empty when there is none.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    // How many header lines carry that name (any letter case).
    int HeaderCount(std::string_view name) const;
};

// The value of a query key in a request target ("/list.aspx?gm=7&pg=2", "pg" gives "2"), undecoded;
// empty when the key is missing.
std::string QueryKey(const std::string& target, const std::string& key);

struct LoopbackReply {
    static constexpr std::uint64_t kNever = UINT64_MAX;
    enum class Framing {
        ContentLength,  // "Content-Length: n" (unless headerLines give one of their own)
        Chunked,        // "Transfer-Encoding: chunked"
        UntilClose,     // neither: the body ends when the connection closes
    };

    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headerLines;  // extra lines, "Name: value", sent in this order
    std::string body;
    // When generatedLength > 0 the body is generatedLength bytes made by `generate` (by default
    // the letters a..z repeated) instead of `body`; only one piece is in memory at a time.
    std::uint64_t generatedLength = 0;
    std::function<void(std::uint64_t offset, char* out, std::size_t count)> generate;
    Framing framing = Framing::ContentLength;

    unsigned delayMs = 0;                   // wait before the status line
    std::uint64_t stallAfterBytes = kNever;  // after this many body bytes, pause stallMs once
    unsigned stallMs = 0;
    std::uint64_t closeAfterBytes = kNever;  // drop the connection after this many body bytes
    bool closeWithoutReply = false;          // read the request, then close without sending a byte
    unsigned trickleMs = 0;                  // > 0: the body goes out one byte at a time, this far apart
    // Called on the server's thread as the delay or the stall begins, so that a test can act while
    // the client waits.
    std::function<void()> onPause;

    // 200 with the body and a Content-Type line.
    static LoopbackReply Ok(std::string body, std::string contentType = "text/html");
    // The status with a short text body.
    static LoopbackReply Status(int status, std::string reason);
    // The letter pattern a generated body has by default: byte i is 'a' + i % 26.
    static char PatternByte(std::uint64_t offset) { return static_cast<char>('a' + offset % 26); }

    std::uint64_t BodyLength() const { return generatedLength ? generatedLength : body.size(); }
};

class LoopbackHttpServer {
public:
    using Handler = std::function<LoopbackReply(const LoopbackRequest&)>;

    // Without a handler the canned replies of SetReply answer; unknown targets get 404.
    LoopbackHttpServer();
    explicit LoopbackHttpServer(Handler handler);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    static constexpr unsigned kDefaultLifetimeMs = 10 * 60 * 1000;
    // How long a connection may wait for its client to send or take bytes before it is dropped.
    static constexpr unsigned kIdleMs = 30 * 1000;

    // Binds 127.0.0.1 on a free port and starts serving for lifetimeMs (0: until Stop). False when
    // the socket cannot be set up.
    bool Start(unsigned lifetimeMs = kDefaultLifetimeMs);
    // Stops accepting, drops every open connection (cutting short any delay or stall) and waits
    // for the connection threads. Called by the destructor; safe to call more than once.
    void Stop();

    unsigned short Port() const { return port_; }
    std::string HostAndPort() const;              // "127.0.0.1:port"
    std::string Url(std::string_view path) const;  // "http://127.0.0.1:port" + path

    // The canned reply of a target: an exact match of the whole target ("/a?b=1") is taken first,
    // else a match of its path ("/a").
    void SetReply(const std::string& target, LoopbackReply reply);

    std::vector<LoopbackRequest> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();
    // Waits until at least `count` requests have been recorded; false after timeoutMs.
    bool WaitForRequests(std::size_t count, unsigned timeoutMs) const;

private:
    struct Connection;
    void AcceptLoop();
    void Serve(Connection* connection);
    LoopbackReply ReplyFor(const LoopbackRequest& request);
    bool SendReply(std::uintptr_t socket, const LoopbackReply& reply);
    // Waits ms milliseconds unless the server stops first; false when it stops.
    bool Pause(unsigned ms);
    void ReapFinished();
    // Stops accepting and tells every connection thread to end, without waiting for any.
    void Shut();
    bool Stopping() const;
    // Waits until the (non-blocking) socket can be read or written; false when the server stops
    // or the client has sent or taken nothing for kIdleMs.
    bool WaitSocket(std::uintptr_t socket, bool forWriting);
    // recv and send that wait through WaitSocket; Receive gives -1 on failure, 0 at the client's end.
    int Receive(std::uintptr_t socket, char* buffer, int size);
    bool SendAll(std::uintptr_t socket, const char* data, std::size_t size);

    Handler handler_;
    std::uintptr_t listener_;
    unsigned short port_ = 0;
    bool winsock_ = false;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    bool listenerOpen_ = false;  // guarded by mutex_
    std::chrono::steady_clock::time_point deadline_;
    bool hasDeadline_ = false;
    std::map<std::string, LoopbackReply> replies_;
    std::vector<LoopbackRequest> requests_;
    std::list<std::unique_ptr<Connection>> connections_;
};
