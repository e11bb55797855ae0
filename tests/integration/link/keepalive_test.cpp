// A server that vanishes without a close or reset (a pulled cable, a crashed machine) must
// still end the link: keep-alive probes go unanswered and the link reports an error. The
// test takes the loopback interface down under an established connection, which it may do
// only inside a private network namespace: it runs itself again under `unshare -n`.

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

} // namespace

TEST(KeepAlive, AServerThatVanishesIsNoticedAsALinkErrorWithinAboutTwentyFiveSeconds)
{
    if (!qEnvironmentVariableIsSet(kInsideVariable)) {
        if (!run(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")}))
            GTEST_SKIP() << "no private network namespace can be made here";
        QProcess inside;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kInsideVariable), QStringLiteral("1"));
        inside.setProcessEnvironment(env);
        inside.setProcessChannelMode(QProcess::ForwardedChannels);
        inside.start(QStringLiteral("unshare"),
                     {QStringLiteral("-n"), QCoreApplication::applicationFilePath(),
                      QStringLiteral("--gtest_filter=KeepAlive.*")});
        ASSERT_TRUE(inside.waitForStarted());
        ASSERT_TRUE(inside.waitForFinished(100000));
        EXPECT_EQ(inside.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(inside.exitCode(), 0) << "the test failed inside its namespace (see above)";
        return;
    }

    ASSERT_TRUE(run(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}));
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Link link(server.serverPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));

    // From here nothing the link sends is answered.
    ASSERT_TRUE(run(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("down")}));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }, 60000));
    const qint64 seconds = clock.elapsed() / 1000;
    const QList<QByteArray> expected {"connect [Connected open]", "error 110 [Connected open]",
                                      "failure Asynchronous socket error 110 [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
    EXPECT_GE(seconds, 20);
    EXPECT_LE(seconds, 35);
}
