#pragma once
// The route table of the local replica of the outside services: each route is a path and a page
// builder; a request goes to the builders of its path in the order they were added, and the first
// one that answers gives the page. Adding the pages of another service is one Add per path.
//
// The table is plain data and code with no sockets, so tests can serve the replica's pages from
// their own server. Pages are byte strings: GBK where the services send GBK.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct ReplicaRequest {
    std::string method;  // "GET"
    std::string target;  // "/ajax.axd?methodName=...", as sent
    std::string path;    // the target before "?"
    std::string host;    // the Host header, when known
    std::vector<std::pair<std::string, std::string>> params;  // the query, decoded, in order

    // The first value of a query key (letter case of the key ignored, as the platform does); empty
    // when the key is missing.
    std::string Param(std::string_view key) const;
    // Every value of a key, in order (a key may stand more than once).
    std::vector<std::string> Params(std::string_view key) const;
    bool HasParam(std::string_view key) const;
};

// A request from its method and target ("/path?query"); `%XX` and "+" in the query are decoded.
ReplicaRequest ParseReplicaRequest(std::string method, std::string target, std::string host = {});

struct ReplicaPage {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/html; charset=gb2312";
    std::string body;
    // The body ends where the connection closes: no Content-Length is sent.
    bool closeDelimited = false;

    static ReplicaPage Script(std::string body);  // a script-callback reply, GBK
    static ReplicaPage NotFound();
};

using ReplicaBuilder = std::function<std::optional<ReplicaPage>(const ReplicaRequest&)>;

class ReplicaRoutes {
public:
    // Adds a builder for a path ("/ajax.axd"; letter case ignored, as the platform's servers do).
    void Add(std::string path, ReplicaBuilder builder);
    // Adds a builder for every path that begins with `prefix` ("/list/"; letter case ignored). Prefix
    // builders are asked only after every builder of the exact path, so a page of its own at
    // "/list/viewlastestdeallist.aspx" goes before the listings under "/list/".
    void AddPrefix(std::string prefix, ReplicaBuilder builder);
    // The page of the first builder of the request's path that answers, then of the first prefix
    // builder that answers, in the order they were added; 404 when none does.
    ReplicaPage Serve(const ReplicaRequest& request) const;
    std::size_t Count() const { return routes_.size() + prefixRoutes_.size(); }

private:
    std::vector<std::pair<std::string, ReplicaBuilder>> routes_;
    std::vector<std::pair<std::string, ReplicaBuilder>> prefixRoutes_;
};

// Lower-case ASCII letters of a text (the bytes of double-byte characters unchanged).
std::string ReplicaLower(std::string_view s);

// A GBK text in UTF-8 (for the services that send UTF-8).
std::string ReplicaUtf8(std::string_view gbk);

// The replica's whole route table over its sample data: the pages of every service it stands in for.
ReplicaRoutes AllReplicaRoutes();
