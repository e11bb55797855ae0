// A timing server that misbehaves: the overlay says what happened in mLog and goes on.
#include "../app/appfixture.h"
#include "../discovery/responder.h"
#include "season.h"

#include <QRandomGenerator>

#include <sys/socket.h>

using namespace quorvel;
using overlay::El;

namespace {

class LinkFaults : public AppFixture {
protected:
    QTcpSocket* connectServer()
    {
        startForm();
        QTcpSocket* timingServer = acceptConnection();
        if (timingServer)
            readUntil(timingServer, 17);
        return timingServer;
    }

    static void resetConnection(QTcpSocket* socket)
    {
        const linger abort{1, 0};
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        socket->abort();
    }
};

} // namespace

TEST_F(LinkFaults, AResetInTheMiddleOfAChunkIsLoggedAndTheReconnectedLinkCarriesOn)
{
    QTcpSocket* first = connectServer();
    ASSERT_NE(first, nullptr);
    // The half item is what arrived before the reset; the rest of it never comes.
    send(first, "RA:0.123@RB:0.4");
    ASSERT_TRUE(applied([&] { return form->screen().text(El::lblReaA) == "0.123"; }));
    resetConnection(first);
    ASSERT_TRUE(waitUntil([&] { return contains(El::mLog, "Asynchronous socket error 104"); }, 3000))
        << lines(El::mLog).join('\n').constData();
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.123");

    QTcpSocket* second = acceptConnection();
    ASSERT_NE(second, nullptr) << "no reconnection after the reset";
    EXPECT_EQ(readUntil(second, 17), "Quorvel:Conectado");
    send(second, "RB:0.456");
    EXPECT_TRUE(applied([&] { return form->screen().text(El::lblReaB) == "0.456"; }));
}

TEST_F(LinkFaults, TenMegabytesOfRandomBytesPassAndTheNextMessageIsApplied)
{
    QTcpSocket* timingServer = connectServer();
    ASSERT_NE(timingServer, nullptr);
    QByteArray flood(10 * 1024 * 1024, '\0');
    QRandomGenerator random(12);
    random.fillRange(reinterpret_cast<quint32*>(flood.data()), flood.size() / 4);
    // Every tenth kilobyte a run of NULs, which a C string would stop at.
    for (qsizetype at = 0; at + 64 < flood.size(); at += 10240)
        std::fill_n(flood.data() + at, 64, '\0');
    ASSERT_GT(flood.count('\0'), 1000);

    timingServer->write(flood);
    ASSERT_TRUE(waitUntil([&] { return timingServer->bytesToWrite() == 0; }, 60000)) << "the overlay stopped reading";
    // The "@" ends whatever item the flood left open.
    send(timingServer, "@RA:0.777@RB:0.888");
    ASSERT_TRUE(waitUntil([&] { return form->screen().text(El::lblReaB) == "0.888"; }, 30000));
    EXPECT_EQ(form->screen().text(El::lblReaA), "0.777");
    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState) << "the link dropped under the flood";
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_EQ(count(El::mLog, "VurazeZO:Desconectou"), 0);
}

TEST_F(LinkFaults, AServerThatFallsSilentAfterOneMessageBringsTheBoardAfterTheIdleInterval)
{
    auto& db = test::MariaDbServer::shared();
    db.execute(kOneVehicleSeason);
    config.fixedServerAddress = "127.0.0.1";
    config.idleIntervalMs = 1500;
    Responder responder(config.discoveryPort);
    responder.plan({{0, "PONG"}});
    QTcpSocket* timingServer = connectServer();
    ASSERT_NE(timingServer, nullptr);

    send(timingServer, "Nova:@RA:0.321");
    // Read back before the idle interval can have passed: the board stays away until then.
    ASSERT_TRUE(applied([&] { return form->screen().text(El::lblReaA) == "0.321"; }));
    EXPECT_TRUE(form->screen().visible(El::pnlTempos));
    EXPECT_FALSE(form->screen().visible(El::pnlClass));
    ASSERT_TRUE(waitUntil([&] { return form->screen().visible(El::pnlClass); }, 10000))
        << "no board after the silence:\n"
        << lines(El::mLog).join('\n').constData();
    EXPECT_TRUE(waitUntil([&] { return form->screen().text(El::lblClassCat) == "Turbo"; }, 3000))
        << "the board shows no standings";
    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState);
}
