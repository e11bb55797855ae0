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
        {"GET /program?token=a+b%2Bc HTTP/1.1\r\n\r\n", Status::Complete, "GET", "/program", "a+b+c"},
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
        // lines that end in a bare LF: refused as soon as one comes, not waited on
        {"GET / HTTP/1.1\nHost: x\n\n", Status::Malformed},
        {"GET / HTTP/1.1\r\nHost: x\n", Status::Malformed},
        {"GET / HTTP/1.1\n", Status::Malformed},
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

TEST(RequestHead, HostAndOriginAreCounted)
{
    const RequestHead head = parseRequestHead("GET / HTTP/1.1\r\nhost:  a:1 \r\nOrigin: http://a:1\r\nHOST: b\r\n\r\n");
    ASSERT_EQ(head.status, Status::Complete);
    EXPECT_EQ(head.hosts, 2);
    EXPECT_EQ(head.host, QByteArray("b"));
    EXPECT_EQ(head.origins, 1);
    EXPECT_EQ(head.origin, QByteArray("http://a:1"));
}

TEST(RequestHead, LoopbackHostsAndOriginsOfTheHost)
{
    for (const char* host : {"localhost", "LOCALHOST:80", "127.0.0.1", "127.255.0.9:8765", "[::1]", "[::1]:8765"})
        EXPECT_TRUE(isLoopbackHost(host)) << host;
    for (const char* host :
         {"", "localhost.", "localhost:", "localhost:x", "127.0.0.1:99999x", "127.1", "127.0.0.256", "128.0.0.1",
          "[::1", "[::2]", "[::ffff:127.0.0.1]", "evil.example", "127.0.0.1.evil.example", ":8765"})
        EXPECT_FALSE(isLoopbackHost(host)) << host;

    struct {
        const char* origin;
        const char* host;
        bool same;
    } cases[] = {
        {"http://127.0.0.1:8765", "127.0.0.1:8765", true},
        {"http://LocalHost:8765", "localhost:8765", true},
        {"http://feed", "feed:80", true},
        {"https://feed", "feed:443", true},
        {"http://[::1]:8765", "[::1]:8765", true},
        {"http://127.0.0.1:8765", "127.0.0.1:8766", false},
        {"http://127.0.0.1", "127.0.0.1:8765", false},
        {"http://localhost:8765", "127.0.0.1:8765", false},
        {"http://evil.example:8765", "127.0.0.1:8765", false},
        {"null", "127.0.0.1:8765", false},
        {"ws://127.0.0.1:8765", "127.0.0.1:8765", false},
        {"http://127.0.0.1:8765/", "127.0.0.1:8765", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(originIsHost(c.origin, c.host), c.same) << c.origin << " / " << c.host;
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
