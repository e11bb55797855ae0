// The feed against real loopback sockets: raw HTTP for every refusal, Qt's WebSocket client
// for the pushed state and pictures, over a real screen model drawn offscreen.
#include "feed/feedserver.h"
#include "feed/statedocument.h"

#include "base/config.h"
#include "keying.h"
#include "overlay/layout.h"
#include "overlay/renderer.h"
#include "rendergraphics.h"
#include "wait.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtEndian>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace quorvel;
using namespace quorvel::feed;
using overlay::El;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QJsonObject& object, std::ostream* out)
{
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << bytes.left(200).toStdString();
}
QT_END_NAMESPACE

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

namespace {

constexpr int kWaitMs = 20000;

// Sends a request and reads until the feed closes the connection.
QByteArray exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    // written as soon as the connection is made: an answer can come and the connection
    // close within one turn of the event loop
    socket.write(request);
    QByteArray answer;
    const bool closed = waitUntil(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        kWaitMs);
    answer += socket.readAll();
    return closed ? answer : "still open: " + answer;
}

QByteArray statusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

QByteArray body(const QByteArray& answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}

QByteArray get(const QByteArray& target, const QByteArray& headers = {})
{
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + headers + "\r\n";
}

const QByteArray kUpgradeHeaders =
    "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";

// A WebSocket client made by hand, which reads its handshake's answer and then nothing more
// (its socket reads at most a few bytes): what the feed sends it stays with the feed.
bool openStuckWebSocket(QTcpSocket& socket, quint16 port, const QByteArray& path, const QByteArray& headers = {})
{
    socket.setReadBufferSize(64);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, kWaitMs))
        return false;
    socket.write(get(path, kUpgradeHeaders + headers));
    QByteArray handshake;
    waitUntil(
        [&] {
            handshake += socket.read(1);
            return handshake.endsWith("\r\n\r\n");
        },
        kWaitMs);
    return handshake.startsWith("HTTP/1.1 101");
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

struct Client {
    QWebSocket socket;
    std::vector<QString> texts;
    std::vector<QByteArray> pictures;

    explicit Client(const QUrl& url)
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& m) { texts.push_back(m); });
        QObject::connect(&socket, &QWebSocket::binaryMessageReceived,
                         [this](const QByteArray& m) { pictures.push_back(m); });
        socket.open(url);
    }
    bool connected()
    {
        return waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, kWaitMs);
    }
    bool closed()
    {
        return waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kWaitMs);
    }
};

struct Picture {
    QRect area;
    QSize client;
    QImage image;
};

Picture decode(const QByteArray& message)
{
    const auto* head = reinterpret_cast<const uchar*>(message.constData());
    QImage image;
    if (message.mid(8, 8) == QByteArray::fromHex("89504e470d0a1a0a"))
        image = QImage::fromData(message.mid(8), "PNG");
    else if (message.size() >= 12) {
        // a small rectangle's pixels as they are: its width and height, then RGBA
        const int width = qFromBigEndian<quint16>(head + 8), height = qFromBigEndian<quint16>(head + 10);
        if (message.size() == 12 + qsizetype(width) * height * 4)
            image = QImage(head + 12, width, height, width * 4, QImage::Format_RGBA8888).copy();
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QPoint at(qFromBigEndian<quint16>(head), qFromBigEndian<quint16>(head + 2));
    return {QRect(at, image.size()), QSize(qFromBigEndian<quint16>(head + 4), qFromBigEndian<quint16>(head + 6)),
            image};
}

// A picture with alpha matches the graphics at `area`: transparent exactly where they are
// magenta, opaque and the same colour elsewhere, but at the soft edges of what is drawn over
// magenta, partly transparent (keying.h). Returns how many pixels were of each kind.
void expectKeyed(const QImage& picture, const QImage& reference, const QPoint& at, int* transparent, int* opaque)
{
    *transparent = *opaque = 0;
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = picture.pixel(x, y);
            const QRgb r = reference.pixel(at.x() + x, at.y() + y);
            ++*(r == overlay::kMagenta ? transparent : opaque);
            wrong += keyedPixel(p, r, false) == KeyedPixel::Wrong;
        }
    EXPECT_EQ(wrong, 0);
}

class FeedServerTest : public ::testing::Test {
protected:
    void SetUp() override { screen.setTextMeasure(overlay::rendererTextMeasure()); }

    void start(const QByteArray& token = {})
    {
        FeedSettings settings;
        settings.address = QHostAddress(QHostAddress::LocalHost);
        settings.port = 0;
        settings.token = token;
        ASSERT_TRUE(feed.listen(settings)) << feed.errorString().toStdString();
    }
    QUrl url(const char* path) const
    {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(feed.port()).arg(QLatin1String(path)));
    }

    overlay::Screen screen;
    FeedServer feed{screen};
};

} // namespace

TEST_F(FeedServerTest, EachRefusalHasItsAnswerInItsOrder)
{
    start("s3cret");
    const QByteArray bearer = "Authorization: Bearer s3cret\r\n";
    const QByteArray upgrade =
        "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    struct Case {
        QByteArray request;
        QByteArray status;
    };
    const Case cases[] = {
        {get("/state"), "HTTP/1.1 401 Unauthorized"},
        {get("/state", "Authorization: Bearer s3cre\r\n"), "HTTP/1.1 401 Unauthorized"},
        {get("/state", "Authorization: Bearer s3cretX\r\n"), "HTTP/1.1 401 Unauthorized"},
        {get("/state?token=wrong"), "HTTP/1.1 401 Unauthorized"},
        {get("/nowhere"), "HTTP/1.1 401 Unauthorized"},
        {"POST /state HTTP/1.1\r\nHost: feed\r\nContent-Length: 2\r\n\r\n{}", "HTTP/1.1 401 Unauthorized"},
        // a request that names no host is refused before its token is looked at
        {"GET /state HTTP/1.1\r\n" + bearer + "\r\n", "HTTP/1.1 421 Misdirected Request"},
        {"GET /state?token=wrong HTTP/1.1\r\n\r\n", "HTTP/1.1 421 Misdirected Request"},
        {get("/events", upgrade), "HTTP/1.1 401 Unauthorized"},
        {get("/program", upgrade), "HTTP/1.1 401 Unauthorized"},
        {get("/state", bearer), "HTTP/1.1 200 OK"},
        {get("/state?token=s3cret"), "HTTP/1.1 200 OK"},
        {get("/nowhere", bearer), "HTTP/1.1 404 Not Found"},
        {get("/state/", bearer), "HTTP/1.1 404 Not Found"},
        {get("/state.png", bearer), "HTTP/1.1 404 Not Found"},
        {"POST /state HTTP/1.1\r\nHost: feed\r\n" + bearer + "Content-Length: 2\r\n\r\n{}",
         "HTTP/1.1 405 Method Not Allowed"},
        {"PUT /program HTTP/1.1\r\nHost: feed\r\n" + bearer + "\r\n", "HTTP/1.1 405 Method Not Allowed"},
        {"DELETE /?token=s3cret HTTP/1.1\r\nHost: feed\r\n\r\n", "HTTP/1.1 405 Method Not Allowed"},
        {get("/events", bearer), "HTTP/1.1 426 Upgrade Required"},
        {"GET /state\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        // lines ended by LF alone: refused at once, before the token
        {"GET /state HTTP/1.1\nHost: feed\n\n", "HTTP/1.1 400 Bad Request"},
        {"GET /state?token=s3cret HTTP/1.1\nHost: feed\n", "HTTP/1.1 400 Bad Request"},
        {get("/state", bearer + "X: " + QByteArray(8200, 'x') + "\r\n"),
         "HTTP/1.1 431 Request Header Fields Too Large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.left(60).toStdString());
        const QByteArray answer = exchange(feed.port(), c.request);
        EXPECT_EQ(statusLine(answer), c.status);
        if (c.status.contains("401")) {
            // nothing else: no body, no hint of what is served
            EXPECT_TRUE(answer.contains("Content-Length: 0\r\n"));
            EXPECT_EQ(body(answer), QByteArray());
        }
    }
}

// Only a single Host naming this computer is answered without a token: a page whose own
// name was made to point at 127.0.0.1 sends that name. With a token any name is taken.
TEST_F(FeedServerTest, WithoutATokenOnlyALoopbackHostIsAnswered)
{
    start();
    const QByteArray port = QByteArray::number(feed.port());
    struct Case {
        QByteArray headers;
        QByteArray status;
    };
    const QByteArray misdirected = "HTTP/1.1 421 Misdirected Request";
    const Case cases[] = {
        {"Host: 127.0.0.1:" + port + "\r\n", "HTTP/1.1 200 OK"},
        {"Host: 127.3.2.1\r\n", "HTTP/1.1 200 OK"},
        {"Host: [::1]:" + port + "\r\n", "HTTP/1.1 200 OK"},
        {"Host: LocalHost:" + port + "\r\n", "HTTP/1.1 200 OK"},
        {"Host: evil.example\r\n", misdirected},
        {"Host: evil.example:" + port + "\r\n", misdirected},
        {"Host: localhost.evil.example\r\n", misdirected},
        {"Host: 127.0.0.1.evil.example\r\n", misdirected},
        {"Host: 10.0.0.1:" + port + "\r\n", misdirected},
        {"Host: [::2]\r\n", misdirected},
        {"Host: 127.0.0.1:x\r\n", misdirected},
        {"", misdirected},
        {"Host:\r\n", misdirected},
        {"Host: localhost\r\nHost: localhost\r\n", misdirected},
        {"Host: localhost\r\nHost: evil.example\r\n", misdirected},
    };
    for (const char* path : {"/state", "/window.png"})
        for (const Case& c : cases) {
            SCOPED_TRACE(path + (" " + c.headers).toStdString());
            const QByteArray answer =
                exchange(feed.port(), "GET " + QByteArray(path) + " HTTP/1.1\r\n" + c.headers + "\r\n");
            EXPECT_EQ(statusLine(answer), c.status);
            if (c.status == misdirected) {
                EXPECT_EQ(body(answer), QByteArray());
            }
        }
}

TEST_F(FeedServerTest, WithATokenAnyNameIsAnsweredButNotAMissingOrRepeatedHost)
{
    start("s3cret");
    const QByteArray bearer = "Authorization: Bearer s3cret\r\n";
    struct Case {
        QByteArray headers;
        QByteArray status;
    };
    const Case cases[] = {
        {"Host: overlay.track.lan:8765\r\n" + bearer, "HTTP/1.1 200 OK"},
        {"Host: 192.0.2.10\r\n" + bearer, "HTTP/1.1 200 OK"},
        {bearer, "HTTP/1.1 421 Misdirected Request"},
        {"Host: \r\n" + bearer, "HTTP/1.1 421 Misdirected Request"},
        {"Host: a\r\nHost: a\r\n" + bearer, "HTTP/1.1 421 Misdirected Request"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers.toStdString());
        EXPECT_EQ(statusLine(exchange(feed.port(), "GET /state HTTP/1.1\r\n" + c.headers + "\r\n")), c.status);
    }
}

// Any page the operator's browser opens may open a WebSocket to the feed; the browser says
// which page it is. Only the feed's own pages, or clients that are no page, get one.
TEST_F(FeedServerTest, AWebSocketIsOpenedOnlyForTheFeedsOwnPagesOrWithoutOrigin)
{
    start();
    const QByteArray port = QByteArray::number(feed.port());
    const QByteArray host = "127.0.0.1:" + port;
    struct Case {
        QByteArray host;
        QByteArray origin; // the whole header line, or none
        bool opened;
    };
    const Case cases[] = {
        {host, {}, true},
        {host, "Origin: http://127.0.0.1:" + port + "\r\n", true},
        {"localhost:" + port, "Origin: http://LOCALHOST:" + port + "\r\n", true},
        {"localhost", "Origin: http://localhost\r\n", true},
        {host, "Origin: http://evil.example\r\n", false},
        {host, "Origin: http://evil.example:" + port + "\r\n", false},
        {host, "Origin: http://localhost:" + port + "\r\n", false},
        {host, "Origin: http://127.0.0.1:1" + port + "\r\n", false},
        {host, "Origin: http://127.0.0.1\r\n", false},
        {host, "Origin: null\r\n", false},
        {host, "Origin: file://\r\n", false},
        {host, "Origin: http://127.0.0.1:" + port + "\r\nOrigin: http://evil.example\r\n", false},
    };
    for (const char* path : {"/events", "/program"})
        for (const Case& c : cases) {
            SCOPED_TRACE(path + (" " + c.host + " " + c.origin).toStdString());
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, feed.port());
            socket.write("GET " + QByteArray(path) + " HTTP/1.1\r\nHost: " + c.host + "\r\n" + kUpgradeHeaders +
                         c.origin + "\r\n");
            QByteArray answer;
            ASSERT_TRUE(waitUntil(
                [&] {
                    answer += socket.readAll();
                    return answer.contains("\r\n\r\n");
                },
                kWaitMs));
            EXPECT_EQ(statusLine(answer), c.opened ? "HTTP/1.1 101 Switching Protocols" : "HTTP/1.1 403 Forbidden");
        }
    EXPECT_TRUE(waitUntil([&] { return feed.clientCount() == 0; }, kWaitMs));
}

// A token is compared as the installer wrote it: a '+' in the query is a '+'.
TEST_F(FeedServerTest, APlusInTheQueryTokenIsItself)
{
    start("ab+cd/ef=gh%ij");
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state?token=ab+cd/ef=gh%25ij"))), "HTTP/1.1 200 OK");
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state?token=ab%2Bcd%2Fef%3Dgh%25ij"))), "HTTP/1.1 200 OK");
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state?token=ab%20cd/ef=gh%25ij"))), "HTTP/1.1 401 Unauthorized");
}

// An address that keeps guessing the token is not listened to for a while, not even with
// the right one; other addresses are.
TEST_F(FeedServerTest, TenWrongTokensFromAnAddressAndItIsRefusedForAWhile)
{
    FeedServer::Timing timing;
    timing.tokenBlockMs = 3000;
    feed.setTiming(timing);
    start("s3cret");
    const auto from = [&](const char* address, const QByteArray& request) {
        QTcpSocket socket;
        socket.bind(QHostAddress(QLatin1String(address)));
        socket.connectToHost(QHostAddress::LocalHost, feed.port());
        socket.write(request);
        QByteArray answer;
        waitUntil(
            [&] {
                answer += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            kWaitMs);
        return statusLine(answer + socket.readAll());
    };
    const QByteArray right = get("/state?token=s3cret");
    for (int i = 0; i < FeedServer::kMaxFailedTokens; ++i)
        EXPECT_EQ(from("127.0.0.2", get("/state?token=guess" + QByteArray::number(i))), "HTTP/1.1 401 Unauthorized");
    QElapsedTimer blocked;
    blocked.start();
    EXPECT_EQ(from("127.0.0.2", right), "HTTP/1.1 429 Too Many Requests");
    EXPECT_EQ(from("127.0.0.2", get("/events", "Authorization: Bearer s3cret\r\n" + kUpgradeHeaders)),
              "HTTP/1.1 429 Too Many Requests");
    EXPECT_EQ(from("127.0.0.3", right), "HTTP/1.1 200 OK");
    if (blocked.elapsed() < 2500) { // still within the time
        EXPECT_EQ(from("127.0.0.2", right), "HTTP/1.1 429 Too Many Requests");
    }
    EXPECT_TRUE(waitUntil([&] { return from("127.0.0.2", right) == "HTTP/1.1 200 OK"; }, kWaitMs));
    EXPECT_GE(blocked.elapsed(), 2900);

    // nine wrong ones are no reason
    for (int i = 0; i < FeedServer::kMaxFailedTokens - 1; ++i)
        from("127.0.0.4", get("/state?token=typo"));
    EXPECT_EQ(from("127.0.0.4", right), "HTTP/1.1 200 OK");
}

TEST_F(FeedServerTest, ARequestThatNeverEndsIsCutAtEightKilobytes)
{
    start();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, feed.port());
    ASSERT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, kWaitMs));
    socket.write("GET / HTTP/1.1\r\nX: ");
    // a head without its end, more than 8 KB of it, written in pieces
    QByteArray answer;
    for (int i = 0; i < 40 && socket.state() == QAbstractSocket::ConnectedState; ++i) {
        socket.write(QByteArray(512, 'y'));
        socket.flush();
        runEventsFor(5);
        answer += socket.readAll();
    }
    EXPECT_TRUE(waitUntil(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        kWaitMs));
    // the refusal may be lost to the reset that the unread bytes cause; the close is not
    if (!answer.isEmpty()) {
        EXPECT_EQ(statusLine(answer), "HTTP/1.1 431 Request Header Fields Too Large");
    }
}

TEST_F(FeedServerTest, ThirtyTwoClientsAtMostTheNextRefused)
{
    start();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < FeedServer::kMaxClients; ++i)
        clients.push_back(std::make_unique<Client>(url("/events")));
    for (auto& client : clients)
        ASSERT_TRUE(client->connected());
    ASSERT_EQ(feed.clientCount(), FeedServer::kMaxClients);
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state"))), "HTTP/1.1 503 Service Unavailable");
    Client refused(url("/events"));
    EXPECT_TRUE(refused.closed());

    clients.front()->socket.close();
    ASSERT_TRUE(waitUntil([&] { return feed.clientCount() == FeedServer::kMaxClients - 1; }, kWaitMs));
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state"))), "HTTP/1.1 200 OK");
}

// Connections opened and left idle, more of them than there are places, keep out neither
// a client with the token nor each other's refusal: they are cut after two seconds, an
// address past its share is told 503 at once, and no place is taken before the answer.
TEST_F(FeedServerTest, IdleConnectionsTakeNoPlaceAndAreCutWithinTheHeadDeadline)
{
    start("s3cret");
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (const char* from : {"127.0.0.2", "127.0.0.3"})
        for (int i = 0; i < FeedServer::kMaxWaitingPerAddress; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            ASSERT_TRUE(idle.back()->bind(QHostAddress(QLatin1String(from))));
            idle.back()->connectToHost(QHostAddress::LocalHost, feed.port());
        }
    for (auto& socket : idle)
        ASSERT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::ConnectedState; }, kWaitMs));
    ASSERT_GT(int(idle.size()), FeedServer::kMaxClients);

    // one connection more from an address that has its share: refused, not reset
    QTcpSocket extra;
    extra.bind(QHostAddress(QStringLiteral("127.0.0.2")));
    extra.connectToHost(QHostAddress::LocalHost, feed.port());
    QByteArray refusal;
    EXPECT_TRUE(waitUntil(
        [&] {
            refusal += extra.readAll();
            return extra.state() == QAbstractSocket::UnconnectedState;
        },
        kWaitMs));
    refusal += extra.readAll();
    EXPECT_EQ(statusLine(refusal), "HTTP/1.1 503 Service Unavailable");

    // the crew's own request is answered while they wait
    EXPECT_EQ(statusLine(exchange(feed.port(), get("/state", "Authorization: Bearer s3cret\r\n"))), "HTTP/1.1 200 OK");
    EXPECT_EQ(feed.clientCount(), 0);

    // and the idle ones are cut at the head's deadline
    for (auto& socket : idle)
        EXPECT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::UnconnectedState; }, kWaitMs));
    EXPECT_LT(clock.elapsed(), 6000);
}

// The feed pings each WebSocket; one that stays silent longer than it may is closed, one
// that answers stays.
TEST_F(FeedServerTest, AWebSocketThatStopsAnsweringPingsIsClosed)
{
    feed.setTiming({2000, 100, 1000});
    start();
    Client answering(url("/program"));
    ASSERT_TRUE(answering.connected());
    QTcpSocket silent;
    ASSERT_TRUE(openStuckWebSocket(silent, feed.port(), "/events"));
    ASSERT_TRUE(waitUntil([&] { return feed.clientCount() == 2; }, kWaitMs));
    EXPECT_TRUE(waitUntil([&] { return feed.clientCount() == 1; }, kWaitMs));
    runEventsFor(2500);
    EXPECT_EQ(answering.socket.state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(feed.clientCount(), 1);
}

TEST_F(FeedServerTest, StateIsWhatTheElementsShowInUtf8)
{
    start();
    RaceState race;
    race.headers[0] = {"JO\xc3O", "FERA", "77", "FUSCA", "", ""}; // the race's Windows-1252
    feed.setRaceSource([&] { return race; });
    screen.setText(El::lbl60A, "1.234");
    screen.show(El::lbl60A);
    screen.setText(El::lblPosB, "2");
    const QByteArray answer = exchange(feed.port(), get("/state"));
    ASSERT_EQ(statusLine(answer), "HTTP/1.1 200 OK");
    EXPECT_TRUE(answer.contains("Content-Type: application/json\r\n"));
    const QJsonObject state = QJsonDocument::fromJson(body(answer)).object();
    EXPECT_EQ(state, stateDocument(screen, {}, race));
    const QJsonObject a = state[QStringLiteral("lanes")][QStringLiteral("A")].toObject();
    EXPECT_EQ(a[QStringLiteral("pilot")].toString(), QStringLiteral("JO\u00c3O"));
    EXPECT_EQ(a[QStringLiteral("nickname")].toString(), QStringLiteral("FERA"));
    EXPECT_EQ(a[QStringLiteral("number")].toString(), QStringLiteral("77"));
    EXPECT_EQ(a[QStringLiteral("times")][QStringLiteral("sixtyFeet")].toString(), QStringLiteral("1.234"));
    EXPECT_TRUE(body(answer).contains("JO\xc3\x83O")); // UTF-8 on the wire
}

TEST_F(FeedServerTest, EventsStartWithTheStateThenPatchItInOrder)
{
    start();
    Client client(url("/events"));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(waitUntil([&] { return client.texts.size() == 1; }, kWaitMs));
    QJsonObject state = QJsonDocument::fromJson(client.texts[0].toUtf8()).object();
    EXPECT_EQ(state, stateDocument(screen));

    // one change at a time, each waited for, then several at once
    const char* positions[] = {"1", "2", "3"};
    size_t expected = 1;
    for (const char* position : positions) {
        screen.setText(El::lblPosA, position);
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return client.texts.size() >= expected; }, kWaitMs));
    }
    screen.show(El::imgPreB);
    screen.hide(El::imgPreB);
    screen.show(El::imgStageB);
    screen.appendLine(El::mLog, "Conectado");
    const QJsonObject final = stateDocument(screen);

    std::vector<QString> seen;
    ASSERT_TRUE(waitUntil(
        [&] {
            while (client.texts.size() > 1 + seen.size()) {
                const QJsonObject patch = QJsonDocument::fromJson(client.texts[1 + seen.size()].toUtf8()).object();
                EXPECT_FALSE(patch.isEmpty());
                state = applyMergePatch(state, patch);
                seen.push_back(
                    state[QStringLiteral("lanes")][QStringLiteral("A")][QStringLiteral("position")].toString());
            }
            return state == final;
        },
        kWaitMs));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[0], QStringLiteral("1"));
    EXPECT_EQ(seen[1], QStringLiteral("2"));
    EXPECT_EQ(seen[2], QStringLiteral("3"));
    EXPECT_EQ(state[QStringLiteral("log")].toArray().last().toString(), QStringLiteral("Conectado"));
}

TEST_F(FeedServerTest, WhatClientsSendChangesNothingAndAFrameOverFourKilobytesEndsTheirConnection)
{
    start();
    struct Counter : overlay::ScreenObserver {
        int changes = 0;
        void elementChanged(El, const QRect&) override { ++changes; }
        void clientHeightChanged(int) override { ++changes; }
    } counter;
    screen.addObserver(&counter);
    const QJsonObject before = stateDocument(screen);

    Client events(url("/events"));
    Client program(url("/program"));
    ASSERT_TRUE(events.connected());
    ASSERT_TRUE(program.connected());
    events.socket.sendTextMessage(QStringLiteral(R"({"lanes":{"A":{"pilot":"X"}}})"));
    program.socket.sendBinaryMessage(QByteArray(4096, 'z'));
    events.socket.sendTextMessage(QString(4097, u'z'));
    EXPECT_TRUE(events.closed());
    EXPECT_EQ(events.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);
    // a frame of exactly 4 KB is no reason to close
    runEventsFor(200);
    EXPECT_EQ(program.socket.state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(counter.changes, 0);
    EXPECT_EQ(stateDocument(screen), before);
    screen.removeObserver(&counter);
}

TEST_F(FeedServerTest, PicturesHaveAlphaWhereTheWindowIsMagenta)
{
    start();
    screen.setText(El::lblPilotoA, "JOAO");
    screen.appendLine(El::mLog, "a widget's line, never on air");
    const QImage reference = test::rendererGraphics(screen);

    const QByteArray programAnswer = exchange(feed.port(), get("/program.png"));
    ASSERT_EQ(statusLine(programAnswer), "HTTP/1.1 200 OK");
    EXPECT_TRUE(programAnswer.contains("Content-Type: image/png\r\n"));
    const QImage program = QImage::fromData(body(programAnswer), "PNG").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(program.size(), QSize(kClientWidth, kClientHeight));
    int transparent = 0, opaque = 0;
    expectKeyed(program, reference, {0, 0}, &transparent, &opaque);
    EXPECT_GT(transparent, 1000);
    EXPECT_GT(opaque, 1000);

    const QImage strip = QImage::fromData(body(exchange(feed.port(), get("/strip.png"))), "PNG");
    EXPECT_EQ(strip.size(), QSize(program.width(), kStripHeight));
    EXPECT_EQ(strip.convertToFormat(QImage::Format_ARGB32), program.copy(0, 0, program.width(), kStripHeight));

    // the window as the operator sees it: widgets drawn, magenta kept
    const QImage window = QImage::fromData(body(exchange(feed.port(), get("/window.png"))), "PNG");
    ASSERT_EQ(window.size(), program.size());
    EXPECT_FALSE(window.hasAlphaChannel());
    const QRect log = screen.windowRect(El::mLog);
    int differing = 0;
    for (int y = log.top(); y <= log.bottom(); ++y)
        for (int x = log.left(); x <= log.right(); ++x)
            differing += !colourNear(window.pixel(x, y), reference.pixel(x, y), kKeyingChannel);
    EXPECT_GT(differing, log.width() * log.height() / 2);
}

// Clients asking for pictures in a loop cost one picture per change of the screen, encoded
// once for all of them; a change of the operator's widgets alone leaves the program's
// pictures as they were.
TEST_F(FeedServerTest, EachPictureIsMadeOncePerChangeWhoeverAsksForIt)
{
    start();
    const auto askTogether = [&](const QByteArray& path, int clients) {
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        std::vector<QByteArray> answers(static_cast<size_t>(clients));
        for (int i = 0; i < clients; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            sockets.back()->connectToHost(QHostAddress::LocalHost, feed.port());
            sockets.back()->write(get(path));
        }
        EXPECT_TRUE(waitUntil(
            [&] {
                bool all = true;
                for (size_t i = 0; i < sockets.size(); ++i) {
                    answers[i] += sockets[i]->readAll();
                    all = all && sockets[i]->state() == QAbstractSocket::UnconnectedState;
                }
                return all;
            },
            kWaitMs));
        for (const QByteArray& answer : answers) {
            EXPECT_EQ(statusLine(answer), "HTTP/1.1 200 OK");
            EXPECT_EQ(body(answer), body(answers.front()));
        }
        return QImage::fromData(body(answers.front()), "PNG");
    };

    const QImage first = askTogether("/window.png", 8);
    EXPECT_EQ(feed.picturesEncoded(), 1);
    EXPECT_EQ(askTogether("/window.png", 3), first);
    EXPECT_EQ(feed.picturesEncoded(), 1);

    screen.setText(El::lblPilotoA, "JOAO");
    const QImage second = askTogether("/window.png", 8);
    EXPECT_EQ(feed.picturesEncoded(), 2);
    EXPECT_NE(second, first);
    const QImage program = askTogether("/program.png", 4);
    EXPECT_EQ(feed.picturesEncoded(), 3);

    screen.appendLine(El::mLog, "a line for the operator");
    EXPECT_EQ(askTogether("/program.png", 4), program);
    EXPECT_EQ(feed.picturesEncoded(), 3);
    EXPECT_NE(askTogether("/window.png", 2), second);
    EXPECT_EQ(feed.picturesEncoded(), 4);

    // what is served is what the screen shows now
    int transparent = 0, opaque = 0;
    expectKeyed(program.convertToFormat(QImage::Format_ARGB32), test::rendererGraphics(screen), {0, 0}, &transparent,
                &opaque);
    EXPECT_GT(opaque, 1000);
}

// A cover panel shown over the pilot's photo reaches a browser source on the socket as a
// change: the covered photo's edge comes back transparent. (What the picture holds under
// cover panels is the renderer's, tested for every keyed view in render_test.cpp.)
TEST_F(FeedServerTest, ACoverPanelShownReachesTheSocketAsATransparentChange)
{
    start();
    const QRgb blue = qRgb(0, 0, 200);
    QImage photo(89, 96, QImage::Format_RGB32);
    photo.fill(blue);
    screen.setPicture(El::fotoPilotoA, photo);
    screen.show(El::fotoPilotoA);
    Client client(url("/program"));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(waitUntil([&] { return client.pictures.size() == 1; }, kWaitMs));
    EXPECT_EQ(decode(client.pictures[0]).image.pixel(300, 200), blue);

    screen.show(El::pnlEscondeA);
    screen.show(El::pnlEscondeB);

    // the changed region comes in bands: one of them holds the covered photo's edge
    const QPoint edge(300, 200);
    std::optional<Picture> changed;
    ASSERT_TRUE(waitUntil(
        [&] {
            for (size_t i = 1; i < client.pictures.size() && !changed; ++i) {
                const Picture p = decode(client.pictures[i]);
                if (p.area.contains(edge))
                    changed = p;
            }
            return changed.has_value();
        },
        kWaitMs));
    EXPECT_EQ(qAlpha(changed->image.pixel(edge - changed->area.topLeft())), 0);
}

TEST_F(FeedServerTest, ProgramSocketSendsTheWholePictureThenChangedRectangles)
{
    start();
    Client client(url("/program"));
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(waitUntil([&] { return client.pictures.size() == 1; }, kWaitMs));
    const Picture whole = decode(client.pictures[0]);
    EXPECT_EQ(whole.area, QRect(0, 0, screen.clientWidth(), screen.clientHeight()));
    EXPECT_EQ(whole.client, QSize(screen.clientWidth(), screen.clientHeight()));
    int transparent = 0, opaque = 0;
    expectKeyed(whole.image, test::rendererGraphics(screen), {0, 0}, &transparent, &opaque);

    // a widget's change costs the browser source nothing
    screen.appendLine(El::mLog, "not on air");
    screen.setText(El::lblPosA, "1");
    ASSERT_TRUE(waitUntil([&] { return client.pictures.size() >= 2; }, kWaitMs));
    runEventsFor(100);
    ASSERT_EQ(client.pictures.size(), 2u);
    const Picture changed = decode(client.pictures[1]);
    EXPECT_TRUE(changed.area.contains(screen.windowRect(El::lblPosA)));
    EXPECT_LT(changed.area.width() * changed.area.height(), whole.area.width() * whole.area.height() / 10);
    expectKeyed(changed.image, test::rendererGraphics(screen), changed.area.topLeft(), &transparent, &opaque);

    // a client coming now gets the picture as it is now
    Client late(url("/program"));
    ASSERT_TRUE(waitUntil([&] { return late.pictures.size() == 1; }, kWaitMs));
    const Picture now = decode(late.pictures[0]);
    EXPECT_EQ(now.area, whole.area);
    expectKeyed(now.image, test::rendererGraphics(screen), {0, 0}, &transparent, &opaque);
    EXPECT_NE(now.image, whole.image);

    // after the double click the picture is the strip's height, sent whole
    screen.setClientHeight(kStripHeight);
    ASSERT_TRUE(waitUntil([&] { return client.pictures.size() >= 3; }, kWaitMs));
    const Picture shrunk = decode(client.pictures.back());
    EXPECT_EQ(shrunk.client, QSize(screen.clientWidth(), kStripHeight));
    EXPECT_EQ(shrunk.area, QRect(0, 0, screen.clientWidth(), kStripHeight));
}

TEST_F(FeedServerTest, AClientThatDoesNotReadIsDroppedAndTheOthersGoOn)
{
    start();
    Client reader(url("/events"));
    ASSERT_TRUE(reader.connected());

    QTcpSocket stuck;
    ASSERT_TRUE(openStuckWebSocket(stuck, feed.port(), "/events"));
    ASSERT_TRUE(waitUntil([&] { return feed.clientCount() == 2; }, kWaitMs));

    // each patch carries the whole log: about 200 KB
    const QByteArray line(4000, 'L');
    int patches = 0;
    for (; patches < 400 && feed.clientCount() == 2; ++patches) {
        screen.appendLine(El::mLog, QByteArray::number(patches) + line);
        const size_t before = reader.texts.size();
        ASSERT_TRUE(waitUntil([&] { return reader.texts.size() > before; }, kWaitMs));
    }
    EXPECT_TRUE(waitUntil([&] { return feed.clientCount() == 1; }, kWaitMs)) << patches << " patches";
    EXPECT_EQ(reader.socket.state(), QAbstractSocket::ConnectedState);
    screen.setText(El::lblPosA, "9");
    const size_t before = reader.texts.size();
    EXPECT_TRUE(waitUntil([&] { return reader.texts.size() > before; }, kWaitMs));
}

// The WebSocket answers pings by itself; a client that sends them and never reads the
// answers must not make them pile up in the feed.
TEST_F(FeedServerTest, AClientFloodingPingsWithoutReadingIsDroppedBeforeMemoryGrows)
{
    start();
    Client reader(url("/events"));
    ASSERT_TRUE(reader.connected());
    for (const char* path : {"/events", "/program"}) {
        SCOPED_TRACE(path);
        QTcpSocket flood;
        ASSERT_TRUE(openStuckWebSocket(flood, feed.port(), path));
        // pings of 125 bytes, masked with a zero key
        const QByteArray ping = QByteArray("\x89\xfd\0\0\0\0", 6) + QByteArray(125, 'p');
        const QByteArray burst = ping.repeated(500);
        const qint64 before = residentBytes();
        qint64 peak = before;
        qint64 sent = 0;
        const QDeadlineTimer deadline(30000);
        while (flood.state() == QAbstractSocket::ConnectedState && sent < 64 * 1024 * 1024 && !deadline.hasExpired()) {
            if (flood.bytesToWrite() < 1024 * 1024) {
                flood.write(burst);
                sent += burst.size();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            peak = std::max(peak, residentBytes());
        }
        // AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing
        // of what the feed holds there; the drop below is still required.
        if (!kUnderAddressSanitizer) {
            EXPECT_LT(peak - before, 20 * 1024 * 1024) << sent << " bytes of pings sent";
        }
        EXPECT_TRUE(waitUntil([&] { return flood.state() == QAbstractSocket::UnconnectedState; }, kWaitMs))
            << sent << " bytes of pings sent";
    }
    // the client that reads is still served
    EXPECT_TRUE(waitUntil([&] { return feed.clientCount() == 1; }, kWaitMs));
    screen.setText(El::lblPosA, "7");
    const size_t before = reader.texts.size();
    EXPECT_TRUE(waitUntil([&] { return reader.texts.size() > before; }, kWaitMs));
}

TEST_F(FeedServerTest, PagesAreServed)
{
    start();
    for (const char* page : {"/", "/program"}) {
        const QByteArray answer = exchange(feed.port(), get(page));
        EXPECT_EQ(statusLine(answer), "HTTP/1.1 200 OK") << page;
        EXPECT_TRUE(answer.contains("Content-Type: text/html; charset=utf-8\r\n")) << page;
        // the program page lays its canvases itself; the status page shows it in a frame
        EXPECT_TRUE(body(answer).contains("createElement('canvas')") || body(answer).contains("<iframe")) << page;
        EXPECT_TRUE(body(answer).contains("new WebSocket(")) << page;
    }
}
