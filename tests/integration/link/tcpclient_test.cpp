#include "base/failure.h"
#include "recorder.h"
#include "wait.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using quorvel::Failure;
using quorvel::link::LinkState;
using quorvel::link::TcpClient;

namespace {

// A loopback server on a free port that keeps what each accepted connection sends.
struct LoopbackServer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    bool peerClosed = false;

    explicit LoopbackServer(const char* address = "127.0.0.1", quint16 port = 0)
    {
        EXPECT_TRUE(server.listen(QHostAddress(QString::fromLatin1(address)), port));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this] { received += peer->readAll(); });
            QObject::connect(peer, &QTcpSocket::disconnected, [this] { peerClosed = true; });
        });
    }
    quint16 port() const { return server.serverPort(); }
    int peerFd() const { return static_cast<int>(peer->socketDescriptor()); }
    // A reset, as a server that crashes or aborts gives.
    void resetPeer()
    {
        const linger noLinger{1, 0};
        ::setsockopt(peerFd(), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
        peer->abort();
    }
};

// A listener whose accept queue is full: the kernel drops further SYNs, so a connect to it
// stays in progress (for seconds, retrying) without ever completing or failing.
struct JammedListener {
    int listener = -1;
    std::vector<int> fillers;
    quint16 port = 0;

    JammedListener()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof at;
        EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        EXPECT_EQ(::listen(listener, 0), 0);
        EXPECT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &len), 0);
        port = ntohs(at.sin_port);
        for (int i = 0; i < 3; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
            fillers.push_back(fd);
        }
        runEventsFor(200);
    }
    ~JammedListener()
    {
        for (int fd : fillers)
            ::close(fd);
        ::close(listener);
    }
};

// A port on which nothing listens.
quint16 refusedPort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// Connects a link to the server and waits until both sides know it.
void connectTo(Link& link, LoopbackServer& server)
{
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected && server.peer; }));
    ASSERT_TRUE(waitUntil([&] { return server.received == "Quorvel:Conectado"; }));
}

int intOption(int fd, int level, int name)
{
    int value = -1;
    socklen_t len = sizeof value;
    EXPECT_EQ(::getsockopt(fd, level, name, &value, &len), 0);
    return value;
}

} // namespace

TEST(TcpClient, RefusedAttemptReportsTheErrorThenTheFailureOnceDown)
{
    Link link(refusedPort());
    link.client->requestConnect();
    EXPECT_EQ(link.client->state(), LinkState::Connecting);
    ASSERT_TRUE(waitUntil([&] { return link.events.events.size() >= 2; }));
    runEventsFor(100);
    const QList<QByteArray> expected{"error 111 [Connecting open]",
                                     "failure Asynchronous socket error 111 [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
    EXPECT_EQ(link.client->state(), LinkState::Down);
}

TEST(TcpClient, ServerThatAppearsGetsTheAnnouncementAsItsOnlyText)
{
    Link link(refusedPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }));

    // The server starts on the port that refused; the next request reaches it.
    LoopbackServer server;
    server.server.close();
    ASSERT_TRUE(server.server.listen(QHostAddress::LocalHost, link.client->port()));
    link.events.events.clear();
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return !server.received.isEmpty(); }));
    // Further requests while connected do nothing.
    link.client->requestConnect();
    runEventsFor(300);
    EXPECT_EQ(server.received, "Quorvel:Conectado");
    EXPECT_EQ(link.events.events, QList<QByteArray>{"connect [Connected open]"});
    EXPECT_EQ(link.client->state(), LinkState::Connected);
}

TEST(TcpClient, ServerCloseGetsTheFarewellOnTheClosingConnectionAndDown)
{
    LoopbackServer server;
    Link link(server.port());
    connectTo(link, server);

    // Half-close, so the server can still hear the farewell on this connection.
    ::shutdown(server.peerFd(), SHUT_WR);
    ASSERT_TRUE(waitUntil([&] { return server.peerClosed; }));
    runEventsFor(100);
    EXPECT_EQ(server.received, "Quorvel:ConectadoVurazeZO:Desconectou");
    const QList<QByteArray> expected{"connect [Connected open]", "disconnect [Down open]"};
    EXPECT_EQ(link.events.events, expected);
    EXPECT_EQ(link.client->state(), LinkState::Down);
    EXPECT_EQ(link.client->socketDescriptor(), -1);
}

TEST(TcpClient, ResetIsAnErrorWithoutFarewell)
{
    LoopbackServer server;
    Link link(server.port());
    connectTo(link, server);

    server.resetPeer();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }));
    runEventsFor(100);
    const QList<QByteArray> expected{"connect [Connected open]", "error 104 [Connected open]",
                                     "failure Asynchronous socket error 104 [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
}

TEST(TcpClient, ChunksAreTheBytesWaitingAtEachReadEvent)
{
    LoopbackServer server;
    Link link(server.port());
    connectTo(link, server);

    // One message split over two writes far apart arrives as two chunks, bytes unchanged.
    const QByteArray first = "pilA:Jos\xE9@pi";
    server.peer->write(first);
    ASSERT_TRUE(waitUntil([&] { return link.events.chunks == 1; }));
    EXPECT_EQ(link.events.received, first);
    server.peer->write(QByteArray("lA:x\0y\r\n", 8));
    ASSERT_TRUE(waitUntil([&] { return link.events.chunks == 2; }));
    EXPECT_EQ(link.events.received, first + QByteArray("lA:x\0y\r\n", 8));

    // Data that was waiting when the read event came is one chunk, however it was written.
    link.client->setReadPaused(true);
    server.peer->write("a:1@");
    server.peer->write("b:2");
    server.peer->flush();
    runEventsFor(200);
    EXPECT_EQ(link.events.chunks, 2); // paused: nothing is read
    link.client->setReadPaused(false);
    ASSERT_TRUE(waitUntil([&] { return link.events.chunks == 3; }));
    EXPECT_TRUE(link.events.received.endsWith("a:1@b:2"));
}

TEST(TcpClient, ReadWaitingWhilePausedFollowsAChunkInsteadOfNestingInIt)
{
    LoopbackServer server;
    Link link(server.port());
    connectTo(link, server);

    int depth = 0;
    int deepest = 0;
    QList<QByteArray> order;
    link.events.onChunk = [&](const QByteArray& chunk) {
        ++depth;
        deepest = std::max(deepest, depth);
        order.append("begin " + chunk);
        if (chunk == "one") {
            link.client->setReadPaused(true);
            server.peer->write("two");
            server.peer->flush();
            runEventsFor(200); // the second chunk arrives here, and must wait
            link.client->setReadPaused(false);
        }
        order.append("end " + chunk);
        --depth;
    };
    server.peer->write("one");
    ASSERT_TRUE(waitUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (QList<QByteArray>{"begin one", "end one", "begin two", "end two"}));
    EXPECT_EQ(deepest, 1);
}

TEST(TcpClient, FailureRaisedByAHandlerGoesToTheFailureRouteAndTheLinkGoesOn)
{
    LoopbackServer server;
    Link link(server.port());
    connectTo(link, server);

    link.events.onChunk = [](const QByteArray&) { throw Failure("'x' is not a valid integer value"); };
    server.peer->write("cod_pilotoA:x");
    ASSERT_TRUE(waitUntil([&] { return link.events.events.size() == 2; }));
    EXPECT_EQ(link.events.events.last(), "failure 'x' is not a valid integer value [Connected open]");
    EXPECT_EQ(link.client->state(), LinkState::Connected);
}

TEST(TcpClient, NewRequestAbandonsTheAttemptInProgressWhichKeepsItsHost)
{
    JammedListener jammed;
    // 127.0.0.2 is loopback too: a second server on the same port number.
    LoopbackServer other("127.0.0.2", jammed.port);

    Link link(jammed.port);
    link.client->requestConnect();
    link.client->setHost("127.0.0.2"); // the attempt in progress keeps 127.0.0.1
    runEventsFor(300);
    ASSERT_EQ(link.client->state(), LinkState::Connecting) << "the jammed listener let the attempt through";
    const int abandoned = link.client->socketDescriptor();

    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return other.received == "Quorvel:Conectado"; }));
    runEventsFor(300);
    EXPECT_EQ(link.events.events, QList<QByteArray>{"connect [Connected open]"});
    // The abandoned socket was closed (its number may have been taken again by the new one).
    EXPECT_TRUE(abandoned == link.client->socketDescriptor() || ::fcntl(abandoned, F_GETFD) == -1);
}

TEST(TcpClient, ClosingSendsNothingAndReportsNothing)
{
    LoopbackServer server;
    {
        Link link(server.port());
        connectTo(link, server);
        link.client->close();
        EXPECT_EQ(link.client->state(), LinkState::Down);
        ASSERT_TRUE(waitUntil([&] { return server.peerClosed; }));
        runEventsFor(100);
        EXPECT_EQ(link.events.events, QList<QByteArray>{"connect [Connected open]"});
        link.client->requestConnect(); // connected again, for the destructor
        ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
        ASSERT_TRUE(waitUntil([&] { return server.received == "Quorvel:ConectadoQuorvel:Conectado"; }));
        server.peerClosed = false;
    }
    // The destructor closed the second connection the same way.
    ASSERT_TRUE(waitUntil([&] { return server.peerClosed; }));
    EXPECT_EQ(server.received, "Quorvel:ConectadoQuorvel:Conectado");

    // Shut down while an attempt is in progress: its outcome never comes.
    Link link(refusedPort());
    link.client->requestConnect();
    link.client->close();
    runEventsFor(300);
    EXPECT_TRUE(link.events.events.isEmpty());
}

TEST(TcpClient, KeepAliveIsOnSoADeadServerIsNoticed)
{
    LoopbackServer server;
    Link link(server.port());
    link.client->requestConnect();
    for (int pass = 0; pass < 2; ++pass) { // on the attempt, then on the connection
        const int fd = link.client->socketDescriptor();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
        EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 10);
        EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 5);
        EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 3);
        ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    }
}

TEST(TcpClient, NamesAreResolvedWithoutBlocking)
{
    LoopbackServer server;
    Link link(server.port(), "localhost");
    link.client->requestConnect();
    EXPECT_EQ(link.client->state(), LinkState::Connecting);
    ASSERT_TRUE(waitUntil([&] { return link.client->state() != LinkState::Connecting; }));
    EXPECT_EQ(link.client->state(), LinkState::Connected) << link.events.events.join(" | ").constData();
}

TEST(TcpClient, NoSocketLeftRaisesFromTheRequestItself)
{
    Link link(refusedPort());
    // The sanitizer build checks the type of a caught Failure and may need a descriptor the
    // first time it meets the type; meet it once while there are descriptors to spare.
    try {
        throw Failure("before the limit");
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "before the limit");
    }
    // Lower the descriptor limit to the lowest free descriptor, so no socket can be made.
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    QByteArray message;
    try {
        link.client->requestConnect();
    } catch (const Failure& e) {
        message = e.message();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(message, "Can't create new socket");
    EXPECT_EQ(link.client->state(), LinkState::Down);
    runEventsFor(100);
    EXPECT_TRUE(link.events.events.isEmpty());
}
