#include "support/loopback_http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr std::size_t kMaxHeaderBlock = 1024 * 1024;
constexpr std::size_t kMaxRequestBody = 64 * 1024 * 1024;
constexpr std::size_t kSendPiece = 64 * 1024;

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string Trim(std::string_view s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t')) ++begin;
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return std::string(s.substr(begin, end - begin));
}

// The name of a header line ("Name: value"), empty when the line has no colon.
std::string_view HeaderName(std::string_view line) {
    std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

}  // namespace

std::string LoopbackRequest::Path() const { return target.substr(0, target.find('?')); }

std::string LoopbackRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines)
        if (SameLetters(HeaderName(line), name)) return Trim(std::string_view(line).substr(name.size() + 1));
    return std::string();
}

bool LoopbackRequest::HasHeader(std::string_view name) const { return HeaderCount(name) > 0; }

int LoopbackRequest::HeaderCount(std::string_view name) const {
    int count = 0;
    for (const std::string& line : headerLines)
        if (SameLetters(HeaderName(line), name)) ++count;
    return count;
}

LoopbackReply LoopbackReply::Ok(std::string body, std::string contentType) {
    LoopbackReply reply;
    reply.body = std::move(body);
    reply.headerLines.push_back("Content-Type: " + contentType);
    return reply;
}

LoopbackReply LoopbackReply::Status(int status, std::string reason) {
    LoopbackReply reply;
    reply.status = status;
    reply.body = std::to_string(status) + " " + reason;
    reply.reason = std::move(reason);
    reply.headerLines.push_back("Content-Type: text/plain");
    return reply;
}

struct LoopbackHttpServer::Connection {
    SOCKET socket = INVALID_SOCKET;
    std::thread thread;
    bool finished = false;  // guarded by the server's mutex
};

LoopbackHttpServer::LoopbackHttpServer() : listener_(INVALID_SOCKET) {}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)), listener_(INVALID_SOCKET) {}

LoopbackHttpServer::~LoopbackHttpServer() {
    Stop();
    if (winsock_) WSACleanup();
}

bool LoopbackHttpServer::Start(unsigned lifetimeMs) {
    if (listener_ != INVALID_SOCKET) return true;
    if (!winsock_) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        winsock_ = true;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, SOMAXCONN) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return false;
    }
    port_ = ntohs(address.sin_port);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        listenerOpen_ = true;
        hasDeadline_ = lifetimeMs != 0;
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(lifetimeMs);
    }
    listener_ = s;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void LoopbackHttpServer::Shut() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        // The accept thread wakes from its select. A connection thread never blocks for longer than
        // one step of WaitSocket or Pause, notices the stop and ends; its socket is closed only once
        // the thread has ended, so no thread can use a socket value that has been handed out anew.
        if (listenerOpen_) closesocket(static_cast<SOCKET>(listener_));
        listenerOpen_ = false;
    }
    changed_.notify_all();
}

bool LoopbackHttpServer::Stopping() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
}

bool LoopbackHttpServer::WaitSocket(std::uintptr_t socketValue, bool forWriting) {
    SOCKET s = static_cast<SOCKET>(socketValue);
    auto quietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIdleMs);
    for (;;) {
        if (Stopping()) return false;
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval step = {0, 100 * 1000};
        int n = select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &step);
        if (n == SOCKET_ERROR) return false;
        if (n > 0) return true;  // ready, or failed: the next call says which
        if (std::chrono::steady_clock::now() >= quietUntil) return false;
    }
}

int LoopbackHttpServer::Receive(std::uintptr_t socketValue, char* buffer, int size) {
    SOCKET s = static_cast<SOCKET>(socketValue);
    for (;;) {
        int got = recv(s, buffer, size, 0);
        if (got >= 0) return got;
        if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitSocket(socketValue, false)) return -1;
    }
}

bool LoopbackHttpServer::SendAll(std::uintptr_t socketValue, const char* data, std::size_t size) {
    SOCKET s = static_cast<SOCKET>(socketValue);
    while (size > 0) {
        int piece = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
        int sent = send(s, data, piece, 0);
        if (sent < 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitSocket(socketValue, true)) return false;
            continue;
        }
        if (sent == 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void LoopbackHttpServer::Stop() {
    if (listener_ == INVALID_SOCKET) return;
    std::list<std::unique_ptr<Connection>> connections;
    Shut();
    if (acceptThread_.joinable()) acceptThread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& c : connections) {
        if (c->thread.joinable()) c->thread.join();
        closesocket(c->socket);
    }
    listener_ = INVALID_SOCKET;
}

std::string LoopbackHttpServer::HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string LoopbackHttpServer::Url(std::string_view path) const {
    return "http://" + HostAndPort() + std::string(path);
}

void LoopbackHttpServer::SetReply(const std::string& target, LoopbackReply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[target] = std::move(reply);
}

std::vector<LoopbackRequest> LoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t LoopbackHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

void LoopbackHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

bool LoopbackHttpServer::WaitForRequests(std::size_t count, unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

bool LoopbackHttpServer::Pause(unsigned ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

void LoopbackHttpServer::ReapFinished() {
    std::list<std::unique_ptr<Connection>> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;  // Stop closes and joins them all
        for (auto it = connections_.begin(); it != connections_.end();) {
            if ((*it)->finished) {
                done.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : done) {
        if (c->thread.joinable()) c->thread.join();
        closesocket(c->socket);
    }
}

void LoopbackHttpServer::AcceptLoop() {
    for (;;) {
        // Wait for a client in short steps, so that a stop and the end of the lifetime are noticed.
        if (Stopping()) return;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(static_cast<SOCKET>(listener_), &ready);
        timeval step = {0, 200 * 1000};
        int n = select(0, &ready, nullptr, nullptr, &step);
        if (n == SOCKET_ERROR) return;  // the listener was closed by Stop
        if (n == 0) {
            bool over;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_) return;
                over = hasDeadline_ && std::chrono::steady_clock::now() >= deadline_;
            }
            if (over) {
                Shut();
                return;
            }
            continue;
        }
        SOCKET s = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (s == INVALID_SOCKET) return;  // closed by Stop
        // Non-blocking: the connection thread waits in WaitSocket, which notices a stop and a
        // client that has gone quiet.
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        ReapFinished();
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            closesocket(s);
            return;
        }
        auto connection = std::make_unique<Connection>();
        connection->socket = s;
        Connection* raw = connection.get();
        connections_.push_back(std::move(connection));
        raw->thread = std::thread([this, raw] { Serve(raw); });
    }
}

LoopbackReply LoopbackHttpServer::ReplyFor(const LoopbackRequest& request) {
    if (handler_) return handler_(request);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = replies_.find(request.target);
    if (it == replies_.end()) it = replies_.find(request.Path());
    if (it == replies_.end()) return LoopbackReply::Status(404, "Not Found");
    return it->second;
}

void LoopbackHttpServer::Serve(Connection* connection) {
    SOCKET s = connection->socket;
    auto finish = [&] {
        // Tell the client the reply is over (a graceful end: what was sent still arrives), then
        // leave the socket to Stop or ReapFinished.
        shutdown(s, SD_SEND);
        std::lock_guard<std::mutex> lock(mutex_);
        connection->finished = true;
    };

    // The header block, up to the empty line.
    std::string data;
    std::size_t end = std::string::npos;
    char buffer[16 * 1024];
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHeaderBlock) return finish();
        int got = Receive(s, buffer, sizeof buffer);
        if (got <= 0) return finish();
        data.append(buffer, static_cast<std::size_t>(got));
    }

    LoopbackRequest request;
    std::size_t lineStart = 0;
    bool first = true;
    while (lineStart < end) {
        std::size_t lineEnd = data.find("\r\n", lineStart);
        std::string line = data.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 2;
        if (first) {
            request.requestLine = line;
            first = false;
        } else {
            request.headerLines.push_back(line);
        }
    }
    {
        std::size_t a = request.requestLine.find(' ');
        std::size_t b = a == std::string::npos ? a : request.requestLine.find(' ', a + 1);
        request.method = request.requestLine.substr(0, a);
        if (a != std::string::npos) request.target = request.requestLine.substr(a + 1, b == std::string::npos ? b : b - a - 1);
        if (b != std::string::npos) request.version = request.requestLine.substr(b + 1);
    }

    // The body, as long as Content-Length says (clients of this server never send chunked bodies).
    std::size_t bodyLength = 0;
    std::string lengthText = request.Header("Content-Length");
    if (!lengthText.empty()) bodyLength = std::min<std::size_t>(std::strtoull(lengthText.c_str(), nullptr, 10), kMaxRequestBody);
    request.body = data.substr(end + 4, bodyLength);
    while (request.body.size() < bodyLength) {
        int got = Receive(s, buffer, static_cast<int>(std::min(sizeof buffer, bodyLength - request.body.size())));
        if (got <= 0) break;
        request.body.append(buffer, static_cast<std::size_t>(got));
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }
    changed_.notify_all();

    LoopbackReply reply = ReplyFor(request);
    if (!reply.closeWithoutReply) SendReply(s, reply);
    finish();
}

bool LoopbackHttpServer::SendReply(std::uintptr_t socketValue, const LoopbackReply& reply) {
    SOCKET s = static_cast<SOCKET>(socketValue);
    if (reply.delayMs) {
        if (reply.onPause) reply.onPause();
        if (!Pause(reply.delayMs)) return false;
    }

    const std::uint64_t length = reply.BodyLength();
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    bool ownLength = false;
    for (const std::string& line : reply.headerLines) {
        head += line + "\r\n";
        if (SameLetters(HeaderName(line), "Content-Length")) ownLength = true;
    }
    if (reply.framing == LoopbackReply::Framing::ContentLength && !ownLength)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    if (reply.framing == LoopbackReply::Framing::Chunked) head += "Transfer-Encoding: chunked\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(s, head.data(), head.size())) return false;

    const bool chunked = reply.framing == LoopbackReply::Framing::Chunked;
    std::string piece;
    bool stalled = false;
    std::uint64_t offset = 0;
    while (offset < length) {
        if (offset >= reply.closeAfterBytes) return false;  // drop the connection mid-body
        if (!stalled && offset >= reply.stallAfterBytes) {
            stalled = true;
            if (reply.onPause) reply.onPause();
            if (!Pause(reply.stallMs)) return false;
        }
        if (reply.trickleMs && offset > 0 && !Pause(reply.trickleMs)) return false;
        std::uint64_t next = std::min<std::uint64_t>(length, offset + (reply.trickleMs ? 1 : kSendPiece));
        if (reply.closeAfterBytes > offset) next = std::min(next, reply.closeAfterBytes);
        if (!stalled && reply.stallAfterBytes > offset) next = std::min(next, reply.stallAfterBytes);
        std::size_t count = static_cast<std::size_t>(next - offset);

        const char* bytes;
        if (reply.generatedLength) {
            piece.resize(count);
            if (reply.generate) {
                reply.generate(offset, piece.data(), count);
            } else {
                for (std::size_t i = 0; i < count; ++i) piece[i] = LoopbackReply::PatternByte(offset + i);
            }
            bytes = piece.data();
        } else {
            bytes = reply.body.data() + offset;
        }
        if (chunked) {
            static const char kDigits[] = "0123456789abcdef";
            std::string size;
            for (std::size_t n = count; n; n >>= 4) size.insert(size.begin(), kDigits[n & 15]);
            size += "\r\n";
            if (!SendAll(s, size.data(), size.size())) return false;
        }
        if (!SendAll(s, bytes, count)) return false;
        if (chunked && !SendAll(s, "\r\n", 2)) return false;
        offset = next;
    }
    if (offset >= reply.closeAfterBytes && offset < length) return false;
    if (chunked && !SendAll(s, "0\r\n\r\n", 5)) return false;
    return true;
}

std::string QueryKey(const std::string& target, const std::string& key)
{
    const std::string needle = key + "=";
    std::size_t at = target.find("?" + needle);
    if (at == std::string::npos) at = target.find("&" + needle);
    if (at == std::string::npos) return {};
    at += needle.size() + 1;
    return target.substr(at, target.find('&', at) - at);
}
