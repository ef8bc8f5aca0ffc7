// Responses as small HTTP servers send them, and the broken ones a reply can arrive as.
#include "platform/net/http_response.h"

#include <gtest/gtest.h>

namespace {

using platform::net::parseHttpResponse;

TEST(HttpResponse, TheThreeWaysABodyEnds) {
    const auto sized = parseHttpResponse(
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
        "7\r\n\r\n{\"a\":1}tail");
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->status, 200);
    EXPECT_EQ(sized->body, "{\"a\":1}");

    const auto chunked = parseHttpResponse(
        "HTTP/1.1 200 OK\r\ntransfer-encoding: "
        "Chunked\r\n\r\n4;ext=1\r\n{\"a\"\r\n3\r\n:1}\r\n0\r\n\r\n");
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->body, "{\"a\":1}");

    const auto closed = parseHttpResponse("HTTP/1.0 404 Not Found\nServer: x\n\nnothing here");
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->status, 404);
    EXPECT_EQ(closed->body, "nothing here");
}

TEST(HttpResponse, BrokenRepliesAreNone) {
    for (const char* bad : {
             "",
             "SSH-2.0-OpenSSH_9.2\r\n",
             "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",
             "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
             "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
             "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffff\r\nx",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
             "HTTP/1.1 200 OK\r\nno colon here\r\n\r\n",
             "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n",
             "HTTP/1.1 2000 OK\r\n\r\n",
             "HTTP/1.1 OK\r\n\r\n",
         }) {
        EXPECT_FALSE(parseHttpResponse(bad)) << bad;
    }
}

}  // namespace
