#include "racedatabase.h"

#include "base/failure.h"
#include "db/datamodule.h"
#include "db/racequeries.h"

using namespace quorvel;
using namespace quorvel::db;

namespace {

class ConnectionLoss : public test::RaceDatabaseTest {
protected:
    void SetUp() override
    {
        RaceDatabaseTest::SetUp();
        server().execute("INSERT INTO vyd.campeonato (codigo, campeonato) VALUES (1, 'Copa');"
                         "INSERT INTO vyd.categoria (CODIGO, CATEGORIA, COD_CAMPEONATO) VALUES (5, 'Livre', 1);"
                         "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO) VALUES (7, '77', 'Ana');");
    }
    void TearDown() override { server().start(); }

    static Text failureOf(const std::function<void()>& operation)
    {
        try {
            operation();
        } catch (const Failure& e) {
            return e.message();
        }
        return "no failure";
    }
};

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
    Query level(dm.Zconet(), "qryNivel", "select @@session.tx_isolation as NIVEL",
        {{"NIVEL", ColumnKind::String}});
    level.open();
    EXPECT_EQ(level.asText("NIVEL"), Text("READ-COMMITTED"));
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
    EXPECT_TRUE(down.startsWith("SQL Error: Can't connect to local server through socket '"))
        << down.constData();
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

    // over TCP to the server's port (MYSQL_TCP_PORT stands in for 3306)
    link.setHost("127.0.0.1");
    laneA->open();
    EXPECT_TRUE(link.connected());
    EXPECT_EQ(laneA->asText("PLACA"), Text("77"));
    EXPECT_FALSE(dm.qryCateg().isOpen());
}

} // namespace
