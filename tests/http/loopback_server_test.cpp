// The loopback server itself: it must end by itself, so that a test that goes wrong leaves
// nothing running and no thread waiting.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <chrono>

#include "helpers/http_client.h"
#include "support/loopback_http_server.h"

namespace {

TEST(LoopbackServer, StopsByItselfAtTheEndOfItsLifetime) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start(300));
    server.SetReply("/", LoopbackReply::Ok("up"));
    EXPECT_EQ(FetchUrlText(server.Url("/")), "up");
    Sleep(1000);
    EXPECT_EQ(FetchUrlText(server.Url("/")), "");
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(LoopbackServer, StopDoesNotWaitForQuietOrSlowConnections) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    LoopbackReply slow = LoopbackReply::Ok("late");
    slow.delayMs = 60000;
    server.SetReply("/slow", slow);

    // One client that connects and never sends a request, one that waits for a slow reply.
    SOCKET quiet = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(server.Port());
    ASSERT_EQ(connect(quiet, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    SOCKET waiting = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(connect(waiting, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char request[] = "GET /slow HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(send(waiting, request, sizeof request - 1, 0), static_cast<int>(sizeof request - 1));
    ASSERT_TRUE(server.WaitForRequests(1, 10000));

    auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // Both clients see the end of their connection, the slow one without a reply.
    char buffer[64];
    EXPECT_LE(recv(waiting, buffer, sizeof buffer, 0), 0);
    EXPECT_LE(recv(quiet, buffer, sizeof buffer, 0), 0);
    closesocket(quiet);
    closesocket(waiting);
}

}  // namespace
