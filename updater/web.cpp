// The updater's plain HTTP GET (see web.h).
#include "updater/web.h"

#include "runtime/workers.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>

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

// One GET as its worker and its caller share it.
struct Get {
    HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> givenUp{false};
    ByteSet body;  // the worker's until `finished` is set
    ~Get()
    {
        if (finished)
            CloseHandle(finished);
    }
};

ByteSet Fetch(HINTERNET session, const Text& url, const std::atomic<bool>& givenUp)
{
    ByteSet body;
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (!request)
        return body;
    DWORD status = 0, size = sizeof(status);
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) && status == 200) {
        unsigned char buffer[16384];
        while (!givenUp) {
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

}  // namespace

ByteSet HttpGetBytes(const Text& url, unsigned deadlineMs)
{
    HINTERNET session = Session();
    if (!session)
        return ByteSet();
    auto get = std::make_shared<Get>();
    if (!get->finished || !StartWorker([get, session, url] {
            get->body = Fetch(session, url, get->givenUp);
            SetEvent(get->finished);
        }))
        return ByteSet();
    if (WaitForSingleObject(get->finished, deadlineMs) != WAIT_OBJECT_0) {
        get->givenUp = true;
        return ByteSet();
    }
    return std::move(get->body);
}

void CloseWebSession()
{
    if (g_session) {
        InternetCloseHandle(g_session);
        g_session = nullptr;
    }
}

}  // namespace updater
