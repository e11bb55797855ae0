// Link failures that need a network of their own: a server that vanishes under a connection
// (loopback taken down), a name that cannot be resolved (no name server reachable) and an
// address that swallows every packet (routed into a tun device nobody reads). Each
// test runs itself again inside a private network namespace (tests/support/in-private-network),
// so nothing touches the host's network.

#include "blackhole.h"
#include "recorder.h"
#include "wait.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>

#include <gtest/gtest.h>

using quorvel::link::LinkState;

namespace {

constexpr char kInsideVariable[] = "QUORVEL_LINK_IN_PRIVATE_NETNS";

bool run(const QString& program, const QStringList& arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

// Outside the namespace: runs this test again inside one (loopback up, the fixed server
// address on it) and checks its outcome. Returns
// true when the caller is the inner run and should do the test itself.
bool insidePrivateNamespace()
{
    if (qEnvironmentVariableIsSet(kInsideVariable))
        return true;
    if (!run(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")})) {
        ADD_FAILURE() << "no private network namespace can be made here";
        return false;
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QProcess inside;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kInsideVariable), QStringLiteral("1"));
    inside.setProcessEnvironment(env);
    inside.setProcessChannelMode(QProcess::ForwardedChannels);
    inside.start(QStringLiteral(QUORVEL_SOURCE_DIR "/tests/support/in-private-network"),
                 {QStringLiteral("--no-broadcast-route"), QCoreApplication::applicationFilePath(),
                  QStringLiteral("--gtest_filter=%1.%2")
                      .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()))});
    EXPECT_TRUE(inside.waitForStarted());
    EXPECT_TRUE(inside.waitForFinished(100000));
    EXPECT_EQ(inside.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(inside.exitCode(), 0) << "the test failed inside its namespace (see above)";
    return false;
}

void setLoopback(const char* upOrDown)
{
    ASSERT_TRUE(
        run(QStringLiteral("ip"),
            {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QString::fromLatin1(upOrDown)}));
}

} // namespace

TEST(KeepAlive, AServerThatVanishesIsNoticedAsALinkErrorWithinAboutTwentyFiveSeconds)
{
    if (!insidePrivateNamespace())
        return;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Link link(server.serverPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));

    // From here nothing the link sends is answered.
    setLoopback("down");
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }, 60000));
    const qint64 seconds = clock.elapsed() / 1000;
    const QList<QByteArray> expected{"connect [Connected open]", "error 110 [Connected open]",
                                     "failure Asynchronous socket error 110 [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
    EXPECT_GE(seconds, 20);
    EXPECT_LE(seconds, 35);
}

TEST(Lookup, ANameThatCannotBeResolvedFailsTheAttempt)
{
    if (!insidePrivateNamespace())
        return;
    Link link(3335, "no-such-timing-server.invalid");
    link.client->requestConnect();
    EXPECT_EQ(link.client->state(), LinkState::Connecting) << "resolution must not block";
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }, 30000));
    const QList<QByteArray> expected{
        "error 1 [Connecting open]",
        "failure Windows socket error: Unknown host (1), on API 'ASync Lookup' [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
}

// A connect into silence: no answer, no refusal. The attempt fails as a connect that timed
// out, within its deadline, and so does the next one: the retry cycle is never held up by
// the kernel's own connect time-out of about two minutes.
TEST(ConnectDeadline, AnAttemptIntoSilenceFailsAsATimeOutWhenItsDeadlinePasses)
{
    if (!insidePrivateNamespace())
        return;
    QString why;
    const QByteArray address = quorvel::test::blackHoleAddress(&why);
    ASSERT_FALSE(address.isEmpty()) << why.toStdString();
    Link link(3335, address.constData());
    const QList<QByteArray> expected{"error 110 [Connecting open]",
                                     "failure Asynchronous socket error 110 [Down closed]"};
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        link.events.events.clear();
        QElapsedTimer clock;
        clock.start();
        link.client->requestConnect();
        ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }, 60000))
            << "still connecting after a minute";
        const qint64 took = clock.elapsed();
        EXPECT_EQ(link.events.events, expected);
        EXPECT_GE(took, quorvel::kTcpConnectTimeoutMs - 100);
        EXPECT_LE(took, quorvel::kTcpConnectTimeoutMs + 3000);
    }
}
