#include "feed/httprequest.h"

#include <gtest/gtest.h>

using namespace quorvel::feed;
using Status = RequestHead::Status;

namespace {

struct Case {
    QByteArray bytes;
    Status status;
    const char* method = "";
    const char* path = "";
    const char* queryToken = "";
    const char* bearer = "";
    bool webSocket = false;
};

} // namespace

TEST(RequestHead, ReadsMethodPathTokensAndUpgrade)
{
    const Case cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", Status::Complete, "GET", "/"},
        {"GET /state HTTP/1.0\r\nHost: x\r\n\r\n", Status::Complete, "GET", "/state"},
        {"POST /state HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", Status::Complete, "POST", "/state"},
        {"GET /program?token=a%20b&x=1 HTTP/1.1\r\n\r\n", Status::Complete, "GET", "/program", "a b"},
        {"GET /program?x=1&token=t HTTP/1.1\r\n\r\n", Status::Complete, "GET", "/program", "t"},
        {"GET /state HTTP/1.1\r\nauthorization:   bearer  s3cret \r\n\r\n", Status::Complete, "GET", "/state", "",
         "s3cret"},
        {"GET /state HTTP/1.1\r\nAuthorization: Basic czNjcmV0\r\n\r\n", Status::Complete, "GET", "/state"},
        {"GET /events HTTP/1.1\r\nUpgrade: WebSocket\r\nConnection: Upgrade\r\n\r\n", Status::Complete, "GET",
         "/events", "", "", true},
        {"GET /events HTTP/1.1\r\nUpgrade: h2c, websocket\r\n\r\n", Status::Complete, "GET", "/events", "", "", true},
        // not yet a whole head
        {"", Status::Incomplete},
        {"GET / HTTP/1.1\r\nHost: x\r\n", Status::Incomplete},
        // broken heads
        {"GET /\r\n\r\n", Status::Malformed},
        {"GET  HTTP/1.1\r\n\r\n", Status::Malformed},
        {"GET state HTTP/1.1\r\n\r\n", Status::Malformed},
        {"GET / HTTP/2\r\n\r\n", Status::Malformed},
        {"G(T / HTTP/1.1\r\n\r\n", Status::Malformed},
        {"GET / HTTP/1.1\r\nno colon\r\n\r\n", Status::Malformed},
        {"GET / HTTP/1.1\r\n: empty name\r\n\r\n", Status::Malformed},
        {"GET / HTTP/1.1\r\nContent-Length: -4\r\n\r\n", Status::Malformed},
        {"GET / HTTP/1.1\r\nContent-Length: 4x\r\n\r\n", Status::Malformed},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", Status::Malformed},
        {QByteArray("GET /\0 HTTP/1.1\r\n\r\n", 20), Status::Malformed},
        // over 8 KB: known from the head, or from the body it announces
        {"GET / HTTP/1.1\r\nX: " + QByteArray(8200, 'a') + "\r\n\r\n", Status::TooLarge},
        {"GET / HTTP/1.1\r\nX: " + QByteArray(8200, 'a'), Status::TooLarge},
        {"POST / HTTP/1.1\r\nContent-Length: 8192\r\n\r\n", Status::TooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.left(80).toStdString());
        const RequestHead head = parseRequestHead(c.bytes);
        EXPECT_EQ(head.status, c.status);
        if (c.status != Status::Complete)
            continue;
        EXPECT_EQ(head.method, QByteArray(c.method));
        EXPECT_EQ(head.path, QByteArray(c.path));
        EXPECT_EQ(head.queryToken, QByteArray(c.queryToken));
        EXPECT_EQ(head.bearer, QByteArray(c.bearer));
        EXPECT_EQ(head.webSocket, c.webSocket);
        EXPECT_EQ(head.length, c.bytes.indexOf("\r\n\r\n") + 4);
    }
}

TEST(RequestHead, AHeadOfExactlyTheLimitIsTaken)
{
    QByteArray bytes = "GET / HTTP/1.1\r\nX: ";
    bytes += QByteArray(kMaxRequestBytes - bytes.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(bytes.size(), kMaxRequestBytes);
    EXPECT_EQ(parseRequestHead(bytes).status, Status::Complete);
    bytes.insert(20, 'a');
    EXPECT_EQ(parseRequestHead(bytes).status, Status::TooLarge);
}

TEST(RequestHead, TokensMatchOnlyWhenEqual)
{
    EXPECT_TRUE(tokenMatches("s3cret", "s3cret"));
    EXPECT_FALSE(tokenMatches("s3cre", "s3cret"));
    EXPECT_FALSE(tokenMatches("s3cretX", "s3cret"));
    EXPECT_FALSE(tokenMatches("S3cret", "s3cret"));
    EXPECT_FALSE(tokenMatches("", "s3cret"));
    EXPECT_FALSE(tokenMatches("", "")); // no token is never a match
    // equal lengths modulo the byte range must not pass
    EXPECT_FALSE(tokenMatches(QByteArray(256 + 6, 'a'), "aaaaaa"));
}
