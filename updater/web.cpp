// The updater's plain HTTP GET (see web.h).
#include "updater/web.h"

#include <windows.h>
#include <wininet.h>

namespace updater {

namespace {

HINTERNET g_session = nullptr;

// Not to hang the window for ever on a server that accepts and says nothing.
constexpr DWORD kTimeoutMs = 20000;

HINTERNET Session()
{
    if (!g_session) {
        g_session = InternetOpenA("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)", INTERNET_OPEN_TYPE_PRECONFIG,
                                  nullptr, nullptr, 0);
        if (g_session) {
            DWORD timeout = kTimeoutMs;
            InternetSetOptionA(g_session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
            InternetSetOptionA(g_session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
            InternetSetOptionA(g_session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
        }
    }
    return g_session;
}

}  // namespace

ByteSet HttpGetBytes(const Text& url)
{
    ByteSet body;
    HINTERNET session = Session();
    if (!session)
        return body;
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!request)
        return body;
    DWORD status = 0, size = sizeof(status);
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) && status == 200) {
        unsigned char buffer[16384];
        for (;;) {
            DWORD got = 0;
            if (!InternetReadFile(request, buffer, sizeof(buffer), &got)) {
                body.clear();
                break;
            }
            if (got == 0)
                break;
            if (body.size() + got > kHttpGetLimit) {
                body.clear();
                break;
            }
            body.insert(body.end(), buffer, buffer + got);
        }
    }
    InternetCloseHandle(request);
    return body;
}

void CloseWebSession()
{
    if (g_session) {
        InternetCloseHandle(g_session);
        g_session = nullptr;
    }
}

}  // namespace updater
