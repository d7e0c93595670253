#include "replica/replica_routes.h"

#include <windows.h>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Decode(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

std::string ReplicaLower(std::string_view s)
{
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;  // a double-byte character: its second byte may look like a letter
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string ReplicaUtf8(std::string_view gbk)
{
    if (gbk.empty()) return {};
    const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::string ReplicaRequest::Param(std::string_view key) const
{
    std::string wanted = ReplicaLower(key);
    for (const auto& [k, v] : params)
        if (ReplicaLower(k) == wanted) return v;
    return {};
}

std::vector<std::string> ReplicaRequest::Params(std::string_view key) const
{
    std::string wanted = ReplicaLower(key);
    std::vector<std::string> out;
    for (const auto& [k, v] : params)
        if (ReplicaLower(k) == wanted) out.push_back(v);
    return out;
}

bool ReplicaRequest::HasParam(std::string_view key) const { return !Params(key).empty(); }

ReplicaRequest ParseReplicaRequest(std::string method, std::string target, std::string host)
{
    ReplicaRequest r;
    r.method = std::move(method);
    r.target = std::move(target);
    r.host = std::move(host);
    std::size_t question = r.target.find('?');
    r.path = r.target.substr(0, question);
    if (question == std::string::npos) return r;
    std::string_view query = std::string_view(r.target).substr(question + 1);
    query = query.substr(0, query.find('#'));
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        if (!pair.empty()) {
            std::size_t eq = pair.find('=');
            std::string key = Decode(pair.substr(0, eq));
            std::string value = eq == std::string_view::npos ? std::string() : Decode(pair.substr(eq + 1));
            r.params.emplace_back(std::move(key), std::move(value));
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return r;
}

ReplicaPage ReplicaPage::Script(std::string body)
{
    ReplicaPage page;
    page.contentType = "application/x-javascript; charset=gb2312";
    page.body = std::move(body);
    return page;
}

ReplicaPage ReplicaPage::NotFound()
{
    ReplicaPage page;
    page.status = 404;
    page.reason = "Not Found";
    page.body = "<html><body><h1>404 Not Found</h1></body></html>";
    return page;
}

void ReplicaRoutes::Add(std::string path, ReplicaBuilder builder)
{
    routes_.emplace_back(ReplicaLower(path), std::move(builder));
}

void ReplicaRoutes::AddPrefix(std::string prefix, ReplicaBuilder builder)
{
    prefixRoutes_.emplace_back(ReplicaLower(prefix), std::move(builder));
}

ReplicaPage ReplicaRoutes::Serve(const ReplicaRequest& request) const
{
    std::string path = ReplicaLower(request.path);
    for (const auto& [p, builder] : routes_) {
        if (p != path) continue;
        if (std::optional<ReplicaPage> page = builder(request)) return *page;
    }
    for (const auto& [p, builder] : prefixRoutes_) {
        if (path.compare(0, p.size(), p) != 0) continue;
        if (std::optional<ReplicaPage> page = builder(request)) return *page;
    }
    return ReplicaPage::NotFound();
}
