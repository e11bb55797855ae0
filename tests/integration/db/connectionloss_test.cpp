#include "racedatabase.h"

#include "base/failure.h"
#include "db/datamodule.h"
#include "db/racequeries.h"

#include <QElapsedTimer>

using namespace quorvel;
using namespace quorvel::db;

namespace {

class ConnectionLoss : public test::RaceDatabaseTest {
protected:
    void SetUp() override
    {
        RaceDatabaseTest::SetUp();
        server().execute(
            "INSERT INTO vyd.campeonato (codigo, campeonato) VALUES (1, 'Copa');"
            "INSERT INTO vyd.categoria (CODIGO, CATEGORIA, COD_CAMPEONATO) VALUES (5, 'Livre', 1);"
            "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO) VALUES (7, '77', 'Ana');");
    }
    void TearDown() override
    {
        server().resume();
        server().start();
    }

    static Text failureOf(const std::function<void()>& operation)
    {
        try {
            operation();
        } catch (const Failure& e) {
            return e.message();
        }
        return "no failure";
    }

    // The failure of the operation and how long it held the thread.
    static std::pair<Text, qint64> timedFailureOf(const std::function<void()>& operation)
    {
        QElapsedTimer clock;
        clock.start();
        const Text message = failureOf(operation);
        return {message, clock.elapsed()};
    }
};

// A loaded machine may take this long beyond a time-out to come back to the caller.
constexpr qint64 kLateMs = 3000;
// The stopped server is continued by the fixture after this, whatever happens, so that a
// call that never returns still ends the test.
constexpr int kWatchdogMs = 45000;

TEST_F(ConnectionLoss, AServerKilledMidUseFailsTheOpenAndTheNextOpenReconnects)
{
    DataModule dm(m_config);
    Query& categ = dm.qryCateg();
    categ.setParam("COD_CAMPEONATO", 1);
    categ.open();
    categ.close();

    server().kill();
    const Text lost = failureOf([&] { categ.open(); });
    EXPECT_TRUE(lost.startsWith("SQL Error: ")) << lost.constData();
    EXPECT_TRUE(lost.contains("gone away") || lost.contains("Lost connection")) << lost.constData();
    EXPECT_FALSE(categ.isOpen());
    EXPECT_FALSE(dm.Zconet().connected());

    // while the server is away, every open tries to connect and says why it cannot
    const Text away = failureOf([&] { categ.open(); });
    EXPECT_TRUE(away.startsWith("SQL Error: Can't connect")) << away.constData();

    server().start();
    categ.open();
    EXPECT_TRUE(dm.Zconet().connected());
    EXPECT_EQ(categ.asText("CATEGORIA"), Text("Livre"));

    // the new session is read-committed like the first
    Query level(dm.Zconet(), "qryNivel", "select @@session.tx_isolation as NIVEL", {{"NIVEL", ColumnKind::String}});
    level.open();
    EXPECT_EQ(level.asText("NIVEL"), Text("READ-COMMITTED"));
}

// A server that hangs (stopped with SIGSTOP: its connections and its port stay, nothing
// answers) holds each call for one time-out at most, through its socket as over TCP: the
// statement of a live connection for the read time-out, then the connect of the next open
// for the connect time-out, each a lost connection; once the server goes on, the next open
// connects again.
TEST_F(ConnectionLoss, AServerThatHangsFreesEachCallWithinItsTimeOutAndTheNextOpenReconnects)
{
    ASSERT_GT(m_config.dbReadTimeoutS, 0u);
    ASSERT_GT(m_config.dbConnectTimeoutS, 0u);
    const qint64 readMs = qint64(m_config.dbReadTimeoutS) * 1000;
    const qint64 connectMs = qint64(m_config.dbConnectTimeoutS) * 1000;
    for (const char* host : {"", "127.0.0.1"}) {
        SCOPED_TRACE(*host ? "over TCP" : "through the socket");
        Config config = m_config;
        config.dbHost = host;
        DataModule dm(config);
        auto lane = makeVehicleQuery(dm.Zconet(), "qryDadosPilotoA");
        lane->setParam("CODIGO", 7);
        lane->open();
        lane->close();

        server().pause(kWatchdogMs);
        const auto [lost, statementMs] = timedFailureOf([&] { lane->open(); });
        EXPECT_EQ(lost, Text("SQL Error: Lost connection to server during query"));
        EXPECT_GE(statementMs, readMs - 500);
        EXPECT_LE(statementMs, readMs + kLateMs);
        EXPECT_FALSE(dm.Zconet().connected());
        EXPECT_FALSE(lane->isOpen());

        const auto [refused, connectTook] = timedFailureOf([&] { lane->open(); });
        EXPECT_TRUE(
            refused.startsWith("SQL Error: Lost connection to server at 'handshake: reading initial "
                               "communication packet'"))
            << refused.constData();
        EXPECT_GE(connectTook, connectMs - 500);
        EXPECT_LE(connectTook, connectMs + kLateMs);
        EXPECT_TRUE(server().paused()) << "the watchdog had to continue the server";

        server().resume();
        lane->open();
        EXPECT_TRUE(dm.Zconet().connected());
        EXPECT_EQ(lane->asText("PILOTO"), Text("Ana"));
    }
}

// The server's own word that the connection is over (a kill answers the statement with
// 1927) is a lost connection: the next open connects again at once.
TEST_F(ConnectionLoss, AConnectionTheServerKillsIsLostAndTheNextOpenReconnects)
{
    m_config.dbHost = "127.0.0.1";
    DataModule dm(m_config);
    Query killer(dm.Zconet(), "qryFim", "KILL CONNECTION CONNECTION_ID()", {});
    EXPECT_EQ(failureOf([&] { killer.open(); }), Text("SQL Error: Connection was killed"));
    EXPECT_FALSE(dm.Zconet().connected());

    auto lane = makeVehicleQuery(dm.Zconet(), "qryDadosPilotoA");
    lane->setParam("CODIGO", 7);
    EXPECT_EQ(failureOf([&] { lane->open(); }), Text("no failure"));
    EXPECT_EQ(lane->asText("PLACA"), Text("77"));
}

TEST_F(ConnectionLoss, RowsAlreadyReadStayReadableAfterTheLoss)
{
    DataModule dm(m_config);
    auto laneA = makeVehicleQuery(dm.Zconet(), "qryDadosPilotoA");
    laneA->setParam("CODIGO", 7);
    laneA->open();
    server().kill();
    auto laneB = makeVehicleQuery(dm.Zconet(), "qryDadosPilotoB");
    EXPECT_TRUE(failureOf([&] { laneB->open(); }).startsWith("SQL Error: "));
    EXPECT_TRUE(laneA->isOpen());
    EXPECT_EQ(laneA->asText("PILOTO"), Text("Ana"));
}

TEST_F(ConnectionLoss, AFailedConnectRaisesTheLibrarysMessage)
{
    struct Case {
        const char* name;
        std::function<void(Config&)> change;
        const char* expected;
    };
    const Case cases[] = {
        {"wrong password", [](Config& c) { c.dbPassword = "errada"; },
         "SQL Error: Access denied for user 'vyd'@'localhost' (using password: YES)"},
        {"missing database", [](Config& c) { c.dbName = "nada"; },
         "SQL Error: Access denied for user 'vyd'@'localhost' to database 'nada'"},
        {"no server at the host", [](Config& c) { c.dbHost = "127.0.0.2"; },
         "SQL Error: Can't connect to server on '127.0.0.2' ("}, // then the system's error number
    };
    for (const Case& c : cases) {
        Config config = m_config;
        c.change(config);
        const Text message = failureOf([&] { DataModule dm(config); });
        if (Text(c.expected).endsWith('('))
            EXPECT_TRUE(message.startsWith(c.expected)) << c.name << ": " << message.constData();
        else
            EXPECT_EQ(message, Text(c.expected)) << c.name;
    }

    server().stop();
    const Text down = failureOf([&] { DataModule dm(m_config); });
    EXPECT_TRUE(down.startsWith("SQL Error: Can't connect to local server through socket '")) << down.constData();
}

TEST_F(ConnectionLoss, DisconnectClosesEveryQueryAndTheNextOpenUsesTheHostSetLast)
{
    DataModule dm(m_config);
    Connection& link = dm.Zconet();
    auto laneA = makeVehicleQuery(link, "qryDadosPilotoA");
    laneA->setParam("CODIGO", 7);
    laneA->open();
    dm.qryCateg().setParam("COD_CAMPEONATO", 1);
    dm.qryCateg().open();
    dm.qryListaPilotos().first(); // the chain opens the vehicle query too
    ASSERT_TRUE(dm.qryDadosVeiculo().isOpen());

    link.disconnect();
    EXPECT_FALSE(link.connected());
    for (Query* query : {&dm.qryCateg(), &dm.qryListaPilotos(), &dm.qryDadosVeiculo(), laneA.get()})
        EXPECT_FALSE(query->isOpen()) << query->name();
    link.disconnect(); // nothing more to do

    link.setHost("127.0.0.2");
    EXPECT_TRUE(failureOf([&] { link.connect(); }).startsWith("SQL Error: Can't connect to server on '127.0.0.2'"));
    EXPECT_FALSE(link.connected());

    // over TCP to the server's port, which the configuration names in place of 3306
    link.setHost("127.0.0.1");
    laneA->open();
    EXPECT_TRUE(link.connected());
    EXPECT_EQ(laneA->asText("PLACA"), Text("77"));
    EXPECT_FALSE(dm.qryCateg().isOpen());
}

} // namespace
