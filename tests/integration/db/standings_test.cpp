#include "racedatabase.h"

#include "db/datamodule.h"
#include "db/racequeries.h"

#include <functional>

using namespace quorvel;
using namespace quorvel::db;

namespace {

// Championship 1 with event 100 (open) and an older event 99. Categories by name:
// "Dianteira" (12: three valid vehicles), "Livre" (11: none valid), "Turbo" (13: one);
// "Lista" (14) is a list category and never shows.
constexpr char kRaceData[] = R"sql(
USE vyd;
INSERT INTO ORGANIZADOR (NOME, COD_EVENTO_ABERTO) VALUES ('Org', 100);
INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa'), (2, 'Outra');
INSERT INTO evento (codigo, cod_campeonato, evento, data, local, COMPRIMENTO_PISTA) VALUES
  (99, 1, 'Etapa 1', '2026-03-01', 'Pista', 201), (100, 1, 'Etapa 2', '2026-04-01', 'Pista', 201);
INSERT INTO categoria (CODIGO, CATEGORIA, COD_CAMPEONATO, LISTA) VALUES
  (11, 'Livre', 1, 'N'), (12, 'Dianteira', 1, 'N'), (13, 'Turbo', 1, 'N'), (14, 'Lista', 1, 'S'),
  (15, 'Alheia', 2, 'N');
INSERT INTO veiculo (CODIGO, PLACA, PILOTO) VALUES
  (1, '11', 'Ana Souza'), (2, '22', 'Bruno Lima'), (3, '33', 'Caio Reis'), (4, '44', 'Dora Maia');
INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, tfinal, status) VALUES
  (100, 12, 1, '1', 7.25, 'Valido'), (100, 12, 1, '2', 7.1, 'Valido'),
  (100, 12, 2, '1', 6.5, 'Valido'),
  (100, 12, 3, '1', 8.0, 'Valido'), (100, 12, 3, 'T', 5.0, 'Valido'),
  (100, 12, 4, '1', 0, 'Valido'), (100, 12, 4, '2', 4.0, 'Queimou'),
  (99, 12, 4, '1', 3.0, 'Valido'),
  (100, 11, 1, 'T', 6.0, 'Valido'), (100, 11, 2, '1', 0, 'Valido'),
  (100, 13, 4, '1', 9.75, 'Valido');
)sql";

class Standings : public test::RaceDatabaseTest {
protected:
    void SetUp() override
    {
        RaceDatabaseTest::SetUp();
        server().execute(kRaceData);
        m_dm = std::make_unique<DataModule>(m_config);
    }

    // The statements that one move sent, counted in the server's general log.
    int statementsOf(const std::function<void()>& move)
    {
        server().startGeneralLog();
        move();
        const int count = int(server().loggedStatements().size());
        server().stopGeneralLog();
        return count;
    }

    std::unique_ptr<DataModule> m_dm;
};

TEST_F(Standings, MovingThroughCategoriesFollowsWithTheStandingsAndTheVehicle)
{
    test::openEventQueries(*m_dm);
    DataModule& dm = *m_dm;
    Query& categ = dm.qryCateg();
    Query& lista = dm.qryListaPilotos();
    Query& vehicle = dm.qryDadosVeiculo();

    ASSERT_EQ(categ.recordCount(), 3);
    EXPECT_EQ(categ.asText("CATEGORIA"), Text("Dianteira"));
    // the open ran the chain: best valid times of this event, heat T and zero times left out
    ASSERT_EQ(lista.recordCount(), 3);
    struct Row {
        int vehicle;
        double best;
        const char* pilot;
    };
    const Row expected[] = {{2, 6.5, "Bruno Lima"}, {1, 7.1, "Ana Souza"}, {3, 8.0, "Caio Reis"}};
    for (const Row& row : expected) {
        EXPECT_FALSE(lista.eof());
        EXPECT_EQ(lista.asInteger("COD_VEICULO"), row.vehicle);
        EXPECT_DOUBLE_EQ(lista.asFloat("min"), row.best);
        EXPECT_EQ(vehicle.asText("PILOTO"), Text(row.pilot));
        lista.next();
    }
    // a Next past the last row keeps it, sets the flag and reloads the same vehicle
    EXPECT_TRUE(lista.eof());
    EXPECT_EQ(vehicle.asText("PLACA"), Text("33"));

    categ.next();
    EXPECT_EQ(categ.asText("CATEGORIA"), Text("Livre"));
    EXPECT_EQ(lista.recordCount(), 0);
    lista.first(); // the reaction still runs, with vehicle 0
    EXPECT_TRUE(vehicle.isOpen());
    EXPECT_EQ(vehicle.recordCount(), 0);

    categ.last();
    EXPECT_EQ(categ.asText("CATEGORIA"), Text("Turbo"));
    EXPECT_TRUE(categ.eof());
    EXPECT_EQ(vehicle.asText("PILOTO"), Text("Dora Maia"));
    EXPECT_DOUBLE_EQ(lista.asFloat("min"), 9.75);
}

TEST_F(Standings, EachMoveRunsOneOrTwoStatements)
{
    test::openEventQueries(*m_dm);
    Query& categ = m_dm->qryCateg();
    Query& lista = m_dm->qryListaPilotos();

    EXPECT_EQ(statementsOf([&] { categ.first(); }), 2); // Dianteira: standings + vehicle
    EXPECT_EQ(statementsOf([&] { lista.next(); }), 1);
    EXPECT_EQ(statementsOf([&] { lista.next(); }), 1);
    EXPECT_EQ(statementsOf([&] { lista.next(); }), 1); // past the end: same vehicle again
    EXPECT_EQ(statementsOf([&] { lista.next(); }), 0); // flag already set
    EXPECT_EQ(statementsOf([&] { lista.first(); }), 1);
    EXPECT_EQ(statementsOf([&] { categ.next(); }), 1); // Livre: empty standings
    EXPECT_EQ(statementsOf([&] { lista.first(); }), 1); // vehicle 0
    EXPECT_EQ(statementsOf([&] { categ.next(); }), 2); // Turbo
    EXPECT_EQ(statementsOf([&] { categ.next(); }), 2); // past the end: Turbo again
    EXPECT_EQ(statementsOf([&] { categ.next(); }), 0);
    EXPECT_EQ(statementsOf([&] { categ.last(); }), 2);

    // no category at all: First and Last still reopen the (empty) standings
    categ.close();
    categ.setParam("COD_CAMPEONATO", 0);
    EXPECT_EQ(statementsOf([&] { categ.open(); }), 1);
    EXPECT_EQ(statementsOf([&] { categ.first(); }), 1);
    EXPECT_EQ(statementsOf([&] { categ.last(); }), 1);
}

TEST_F(Standings, TheStatementTextsReachTheServerExactly)
{
    server().startGeneralLog();
    m_dm->Zconet().disconnect();
    m_dm->Zconet().connect();
    test::openEventQueries(*m_dm);
    const QList<QByteArray> statements = server().loggedStatements();
    server().stopGeneralLog();

    // The server drops a statement's trailing blanks and line breaks before it logs it;
    // that they are sent is checked on the texts themselves.
    const QByteArray evento =
        "select campeonato.campeonato, evento.codigo,  evento.COMPRIMENTO_PISTA,evento.cod_campeonato, evento.evento, evento.data, evento.local\n"
        "from evento\n"
        "   inner join campeonato on (evento.cod_campeonato = campeonato.codigo)\n"
        "where evento.codigo=%1\n"
        "order by evento.data desc\n"
        "limit 1";
    const QByteArray categ =
        "SELECT * FROM categoria\n"
        "where COD_CAMPEONATO=%1\n"
        "AND categoria.LISTA = 'N'\n"
        "AND categoria.MATA_MATA = 'N'\n"
        "AND categoria.SHARKTANK = 'N'\n"
        "order by CATEGORIA";
    const QByteArray lista =
        "SELECT RESULTADOS.COD_VEICULO, min(tfinal) as min\n"
        "FROM RESULTADOS\n"
        "where COD_EVENTO=100\n"
        "AND ( RESULTADOS.COD_CATEGORIA= 12)\n"
        "AND ( RESULTADOS.BATERIA<> 'T')\n"
        "and tfinal>0\n"
        "and status='Valido'\n"
        "GROUP BY RESULTADOS.COD_VEICULO\n"
        "ORDER BY  min(tfinal)";
    const QByteArray veiculo = "select * from VEICULO\nwhere codigo=2";
    const QList<QByteArray> expected = {
        "SET SESSION TRANSACTION ISOLATION LEVEL READ COMMITTED",
        "select * from ORGANIZADOR",
        QByteArray(evento).replace("%1", "NULL"),
        QByteArray(categ).replace("%1", "NULL"),
        QByteArray(evento).replace("%1", "100"),
        QByteArray(categ).replace("%1", "1"),
        lista,
        veiculo,
    };
    EXPECT_EQ(statements, expected);
}

TEST_F(Standings, TheVehicleQueryOfALaneSendsItsOwnText)
{
    Connection& link = m_dm->Zconet();
    auto laneB = makeVehicleQuery(link, "qryDadosPilotoB");
    laneB->setParam("CODIGO", 3);
    server().startGeneralLog();
    laneB->open();
    const QList<QByteArray> statements = server().loggedStatements();
    server().stopGeneralLog();
    EXPECT_EQ(statements, QList<QByteArray>{"select * from veiculo\nwhere CODIGO=3"});
    EXPECT_EQ(laneB->asText("PILOTO"), Text("Caio Reis"));
}

} // namespace
