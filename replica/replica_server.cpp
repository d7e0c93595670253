#include "replica/replica_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <thread>

namespace {

constexpr std::size_t kMaxHeaderBlock = 64 * 1024;
constexpr std::size_t kMaxBody = 1024 * 1024;
constexpr DWORD kReceiveTimeoutMs = 15000;

bool SendAll(SOCKET s, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        int piece = static_cast<int>(std::min<std::size_t>(data.size() - done, 1 << 20));
        int sent = send(s, data.data() + done, piece, 0);
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s)
{
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// What a log line may show of a target: printable bytes (GBK included), nothing that moves the cursor.
std::string Printable(const std::string& s)
{
    std::string out;
    for (unsigned char c : s.substr(0, 2000))
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    return out;
}

std::string Reply(const ReplicaPage& page, bool head)
{
    std::string out = "HTTP/1.1 " + std::to_string(page.status) + " " + page.reason + "\r\n";
    out += "Content-Type: " + page.contentType + "\r\n";
    if (!page.closeDelimited)
        out += "Content-Length: " + std::to_string(page.body.size()) + "\r\n";
    out += "Cache-Control: no-cache\r\nConnection: close\r\nServer: Quovanta-Replica\r\n\r\n";
    if (!head) out += page.body;
    return out;
}

ReplicaPage Error(int status, const char* reason)
{
    ReplicaPage page;
    page.status = status;
    page.reason = reason;
    page.contentType = "text/plain";
    page.body = std::to_string(status) + " " + reason;
    return page;
}

}  // namespace

ReplicaServer::ReplicaServer(const ReplicaRoutes& routes, Log log)
    : routes_(routes), log_(std::move(log)), listener_(INVALID_SOCKET)
{
}

ReplicaServer::~ReplicaServer()
{
    Stop();
    if (winsock_) WSACleanup();
}

bool ReplicaServer::Bind(unsigned short port)
{
    if (!winsock_) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        winsock_ = true;
    }
    auto tryPort = [&](unsigned short p) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return false;
        BOOL exclusive = TRUE;
        setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(p);
        int length = sizeof address;
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, SOMAXCONN) != 0 ||
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            closesocket(s);
            return false;
        }
        listener_ = s;
        port_ = ntohs(address.sin_port);
        return true;
    };
    if (port != 0) return tryPort(port);
    for (int i = 0; i < kPortsTried; ++i)
        if (tryPort(static_cast<unsigned short>(kFirstPort + i))) return true;
    return tryPort(0);
}

void ReplicaServer::Run()
{
    while (!stopping_) {
        SOCKET s = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (s == INVALID_SOCKET) {
            if (stopping_) break;
            Sleep(10);
            continue;
        }
        std::uintptr_t handle = s;
        try {
            std::thread([this, handle] { Serve(handle); }).detach();
        } catch (...) {
            closesocket(s);  // no thread to be had: drop this connection, keep serving
        }
    }
}

void ReplicaServer::Stop()
{
    if (stopping_.exchange(true)) return;
    if (listener_ != INVALID_SOCKET) {
        closesocket(static_cast<SOCKET>(listener_));
        listener_ = INVALID_SOCKET;
    }
}

void ReplicaServer::Serve(std::uintptr_t handle)
{
    SOCKET s = static_cast<SOCKET>(handle);
    DWORD timeout = kReceiveTimeoutMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

    std::string data;
    std::size_t end = std::string::npos;
    char buffer[4096];
    while ((end = data.find("\r\n\r\n")) == std::string::npos && data.size() < kMaxHeaderBlock) {
        int got = recv(s, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
    }

    ReplicaPage page;
    std::string method, target;
    bool head = false;
    if (end == std::string::npos) {
        if (data.empty()) {  // nothing asked
            closesocket(s);
            return;
        }
        page = Error(data.size() >= kMaxHeaderBlock ? 431 : 400,
                     data.size() >= kMaxHeaderBlock ? "Request Header Fields Too Large" : "Bad Request");
    } else {
        std::string block = data.substr(0, end);
        std::size_t lineEnd = block.find("\r\n");
        std::string line = block.substr(0, lineEnd);
        std::size_t sp1 = line.find(' '), sp2 = line.rfind(' ');
        std::string host;
        std::size_t bodyLength = 0;
        for (std::size_t pos = lineEnd; pos != std::string::npos && pos < block.size();) {
            std::size_t next = block.find("\r\n", pos + 2);
            std::string header = block.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
            std::size_t colon = header.find(':');
            if (colon != std::string::npos) {
                std::string name = Lower(Trim(header.substr(0, colon)));
                std::string value = Trim(header.substr(colon + 1));
                if (name == "host") host = value;
                if (name == "content-length") bodyLength = std::min<std::size_t>(std::strtoul(value.c_str(), nullptr, 10), kMaxBody);
            }
            pos = next;
        }
        // The body (a POST's form) is read and not used by any page yet.
        std::size_t have = data.size() - end - 4;
        while (have < bodyLength) {
            int got = recv(s, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            have += static_cast<std::size_t>(got);
        }
        if (sp1 == std::string::npos || sp2 == sp1) {
            page = Error(400, "Bad Request");
        } else {
            method = line.substr(0, sp1);
            target = line.substr(sp1 + 1, sp2 - sp1 - 1);
            head = method == "HEAD";
            if (method != "GET" && method != "POST" && !head)
                page = Error(405, "Method Not Allowed");
            else
                page = routes_.Serve(ParseReplicaRequest(method, target, host));
        }
    }
    SendAll(s, Reply(page, head));
    shutdown(s, SD_SEND);
    // Let the client read the reply before the socket goes.
    timeout = 2000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    while (recv(s, buffer, sizeof buffer, 0) > 0) {
    }
    closesocket(s);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    wsprintfA(stamp, "%02d:%02d:%02d ", now.wHour, now.wMinute, now.wSecond);
    if (log_)
        log_(std::string(stamp) + (method.empty() ? std::string("-") : Printable(method)) + " " +
             (target.empty() ? std::string("-") : Printable(target)) + " -> " + std::to_string(page.status) + " " +
             std::to_string(page.body.size()) + " bytes");
}
