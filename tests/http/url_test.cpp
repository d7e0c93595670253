// Splitting URLs into host, port and path.
#include <gtest/gtest.h>

#include "helpers/http_client.h"

namespace {

struct UrlCase {
    const char* url;
    const char* host;
    int port;
    const char* path;
};

const UrlCase kUrlCases[] = {
    {"HTTP://MyHost:8080/a/b?c=1", "myhost", 8080, "/a/b?c=1"},
    {"http://host", "host", 80, "/"},
    {"http://Host:8080", "host", 8080, "/"},
    {"host/list.aspx", "host", 80, "/list.aspx"},
    {"127.0.0.1:8080/ajax.axd?x=1", "127.0.0.1", 8080, "/ajax.axd?x=1"},
    // Only "/" and ":" end the host part.
    {"http://host?x=1", "host?x=1", 80, "/"},
    {"http://host:/x", "host", 0, "/x"},
    {"http://host:8080.9/x", "host", 8080, "/x"},
    {"http://host:x1/x", "host", 0, "/x"},
    {"http://host:+81/x", "host", 81, "/x"},
    {"http://host:-2/x", "host", -2, "/x"},
    {"http://host: 81/x", "host", 0, "/x"},
    {"http://host:8080:9/x", "host", 8080, "/x"},
    {"http://h.com/a/b#frag", "h.com", 80, "/a/b#frag"},
    {"http://h.com/a:b/c", "h.com", 80, "/a:b/c"},
    // Another scheme is not stripped: its name is taken for the host.
    {"https://host/x", "https", 0, "//host/x"},
    {"", "", 80, "/"},
    // Double-byte host names keep their bytes; only ASCII letters are folded.
    {"http://ABC游戏.com/列表", "abc游戏.com", 80, "/列表"},
    // A host that also occurs inside the scheme: the path still starts after the host.
    {"http://t/x", "t", 80, "/x"},
    {"http://HTTP/x?y", "http", 80, "/x?y"},
};

TEST(UrlSplitters, HostPortAndPathOfEachCase) {
    for (const UrlCase& c : kUrlCases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(GetUrlHost(c.url), c.host);
        EXPECT_EQ(GetUrlPort(c.url), c.port);
        EXPECT_EQ(GetUrlPath(c.url), c.path);
    }
}

}  // namespace
