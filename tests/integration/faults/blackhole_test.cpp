// A timing server that is switched off or cut off: its address swallows every packet and
// answers nothing, not even a refusal. Neither link may wait for the kernel's own
// time-outs (about two minutes a connect), and the retry cycle goes on.
#include "../app/appfixture.h"
#include "../discovery/responder.h"
#include "blackhole.h"

#include "base/failure.h"
#include "db/connection.h"

#include <QElapsedTimer>

using namespace quorvel;
using overlay::El;

namespace {

// The client library reads MYSQL_TCP_PORT once, at its first use, and takes it for a
// connect that names no port: set before anything connects, to a port nobody listens on.
const bool kStrayTcpPortSet = (qputenv("MYSQL_TCP_PORT", "1"), true);

// A loaded machine may take this long beyond a time-out to come back to the caller.
constexpr qint64 kLateMs = 3000;

QByteArray blackHole()
{
    QString why;
    const QByteArray address = test::blackHoleAddress(&why);
    EXPECT_FALSE(address.isEmpty()) << why.toStdString();
    return address;
}

Text failureOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const Failure& e) {
        return e.message();
    }
    return "no failure";
}

class BlackHole : public ::testing::Test {
protected:
    // The client library also reads MYSQL_UNIX_PORT only once: the program's server is
    // named before this program's first connect, whichever test makes it.
    void SetUp() override { test::MariaDbServer::shared(); }
};

} // namespace

TEST_F(BlackHole, ADatabaseConnectGivesUpWithinTheConnectTimeOut)
{
    const QByteArray address = blackHole();
    ASSERT_FALSE(address.isEmpty());
    Config config;
    config.dbHost = address;
    db::Connection link(config);
    QElapsedTimer clock;
    clock.start();
    const Text message = failureOf([&] { link.connect(); });
    const qint64 took = clock.elapsed();
    EXPECT_EQ(message, "SQL Error: Can't connect to server on '" + address + "' (110)");
    EXPECT_GE(took, qint64(config.dbConnectTimeoutS) * 1000 - 500);
    EXPECT_LE(took, qint64(config.dbConnectTimeoutS) * 1000 + kLateMs);
    EXPECT_FALSE(link.connected());
}

// The installation's database listens on 3306: the link names that port, so that neither
// MYSQL_TCP_PORT nor /etc/services can send it elsewhere.
TEST_F(BlackHole, TheDatabaseLinkConnectsToPort3306WhateverTheEnvironmentSays)
{
    ASSERT_TRUE(kStrayTcpPortSet);
    QTcpServer installed;
    ASSERT_TRUE(installed.listen(QHostAddress::LocalHost, 3306)) << installed.errorString().toStdString();
    Config config;
    config.dbHost = "127.0.0.1";
    config.dbConnectTimeoutS = 1; // this listener never greets
    db::Connection link(config);
    const Text message = failureOf([&] { link.connect(); });
    EXPECT_TRUE(waitUntil([&] { return installed.hasPendingConnections(); }))
        << "nothing reached port 3306: " << message.constData();
}

// With discovery answered and the fixed address gone silent, each retry tick gives the
// database link its connect time-out and the timing link its connect deadline, reports both,
// and the next tick follows: discovery requests keep coming, cycle after cycle.
TEST_F(AppFixture, WithTheServerCutOffTheRetryCycleGoesOn)
{
    const QByteArray address = blackHole();
    ASSERT_FALSE(address.isEmpty());
    config.fixedServerAddress = address;
    Responder responder(config.discoveryPort);
    responder.plan({{0, "PONG"}});
    startForm();

    // One request at start-up, then one a tick.
    EXPECT_TRUE(waitUntil([&] { return responder.requests() >= 4; }, 120000))
        << responder.requests() << " discovery requests; mLog:\n"
        << lines(El::mLog).join('\n').constData();
    EXPECT_GE(count(El::mLog, "Asynchronous socket error 110"), 2) << lines(El::mLog).join('\n').constData();
    EXPECT_GE(count(El::mLog, "SQL Error: Can't connect to server on '" + address + "' (110)"), 3);
    EXPECT_GE(count(El::Memo1, "S Erro"), 2);
    EXPECT_GE(count(El::Memo1, "TimerErro"), 3);
    EXPECT_EQ(form->linkHost(), address);
}
