#include "racedatabase.h"

#include "base/failure.h"
#include "db/connection.h"
#include "db/datamodule.h"
#include "db/racequeries.h"

using namespace quorvel;
using namespace quorvel::db;

namespace {

using Values = test::RaceDatabaseTest;

TEST_F(Values, NullsClosedQueriesAndMissingRowsReadAsZeroOrEmpty)
{
    server().execute(
        "INSERT INTO vyd.campeonato (codigo) VALUES (1);"
        "INSERT INTO vyd.categoria (CODIGO, COD_CAMPEONATO) VALUES (10, 1);");
    DataModule dm(m_config);
    Query& categ = dm.qryCateg();

    auto expectEmpty = [&](const char* when) {
        EXPECT_EQ(categ.asInteger("TREE_MODE"), 0) << when;
        EXPECT_EQ(categ.asFloat("TEMPO_MINIMO"), 0.0) << when;
        EXPECT_EQ(categ.asText("SIGLA"), Text()) << when;
        EXPECT_EQ(categ.asText("DATA_RECORD"), Text()) << when;
        EXPECT_TRUE(categ.isNull("SIGLA")) << when;
    };
    expectEmpty("closed");

    categ.setParam("COD_CAMPEONATO", 1);
    categ.open();
    ASSERT_EQ(categ.recordCount(), 1);
    EXPECT_EQ(categ.asInteger("CODIGO"), 10);
    EXPECT_FALSE(categ.isNull("LISTA"));
    expectEmpty("NULL values");

    categ.close();
    categ.setParam("COD_CAMPEONATO", 2);
    categ.open();
    ASSERT_EQ(categ.recordCount(), 0);
    expectEmpty("no row");
}

TEST_F(Values, NumbersDatesAndTextsReadAsStored)
{
    server().execute(
        "INSERT INTO vyd.campeonato (codigo) VALUES (1);"
        "INSERT INTO vyd.categoria (CODIGO, SIGLA, CATEGORIA, COD_CAMPEONATO, TEMPO_MINIMO,"
        " RECORD_TEMPO, DATA_RECORD, TREE_MODE)"
        " VALUES (-7, 'PRO', 'Pro Street', 1, 6.5, 0.123456789, '2025-03-09', 2147483647);");
    DataModule dm(m_config);
    Query& categ = dm.qryCateg();
    categ.setParam("COD_CAMPEONATO", 1);
    categ.open();
    EXPECT_EQ(categ.asInteger("CODIGO"), -7);
    EXPECT_EQ(categ.asInteger("TREE_MODE"), 2147483647);
    EXPECT_DOUBLE_EQ(categ.asFloat("TEMPO_MINIMO"), 6.5);
    EXPECT_DOUBLE_EQ(categ.asFloat("RECORD_TEMPO"), 0.123456789);
    EXPECT_EQ(categ.asText("CATEGORIA"), Text("Pro Street"));
    EXPECT_EQ(categ.asText("DATA_RECORD"), Text("2025-03-09"));
    EXPECT_EQ(categ.asText("codigo"), Text("-7"));
}

TEST_F(Values, TextsArriveAsWindows1252AndLongNamesWhole)
{
    // The installation's tables may be wider than the program's declared widths.
    const QByteArray longName =
        "Maria Gon\xC3\xA7"
        "alves da Concei\xC3\xA7\xC3\xA3o Albuquerque Figueiredo de S\xC3\xA1 Tavares";
    server().execute(
        "ALTER TABLE vyd.veiculo MODIFY PILOTO VARCHAR(120) NOT NULL;"
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, CIDADE, EQUIPE) VALUES"
        " (1, '101', 'Gon\xC3\xA7"
        "alves', 'S\xC3\xA3o Paulo', '\xE2\x82\xAC quipe \xE2\x80\x9Cr\xC3\xA1pida\xE2\x80\x9D'),"
        " (2, '102', '" +
        longName + "', NULL, NULL);");
    DataModule dm(m_config);
    Query& vehicle = dm.qryDadosVeiculo();
    EXPECT_EQ(dm.Zconet().characterSet(), Text("utf8mb4"));

    vehicle.setParam("cod_veiculo", 1);
    vehicle.open();
    EXPECT_EQ(vehicle.asText("PILOTO"),
              Text("Gon\xE7"
                   "alves"));
    EXPECT_EQ(vehicle.asText("CIDADE"), Text("S\xE3o Paulo"));
    EXPECT_EQ(vehicle.asText("EQUIPE"), Text("\x80 quipe \x93r\xE1pida\x94"));

    vehicle.close();
    vehicle.setParam("cod_veiculo", 2);
    vehicle.open();
    const Text expected =
        "Maria Gon\xE7"
        "alves da Concei\xE7\xE3o Albuquerque Figueiredo de S\xE1 Tavares";
    ASSERT_GT(expected.size(), 60);
    EXPECT_EQ(vehicle.asText("PILOTO"), expected);
}

TEST_F(Values, TheLaneQueryReadsThePhotoBytesAndTellsAMissingOne)
{
    server().execute(
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO, DT_HR_CAD) VALUES"
        " (21, '21', 'Ana', 'ana.jpg', UNHEX('FFD8FF00E000FF0A0DFFD9'), '2026-01-02 03:04:05'),"
        " (22, '22', 'Bia', NULL, NULL, '2026-01-02 03:04:05');");
    Connection link(m_config);
    auto laneA = makeVehicleQuery(link, "qryDadosPilotoA");
    EXPECT_STREQ(laneA->name(), "qryDadosPilotoA");
    EXPECT_TRUE(laneA->isNull("FOTO_PILOTO")); // closed

    laneA->setParam("CODIGO", 21);
    laneA->open();
    EXPECT_FALSE(laneA->isNull("FOTO_PILOTO"));
    EXPECT_EQ(laneA->bytes("FOTO_PILOTO"), QByteArray::fromHex("FFD8FF00E000FF0A0DFFD9"));
    EXPECT_EQ(laneA->asText("NOME_ARQ_FOTO"), Text("ana.jpg"));
    EXPECT_EQ(laneA->asText("DT_HR_CAD"), Text("2026-01-02 03:04:05"));

    laneA->close();
    laneA->setParam("CODIGO", 22);
    laneA->open();
    EXPECT_TRUE(laneA->isNull("FOTO_PILOTO"));
    EXPECT_EQ(laneA->bytes("FOTO_PILOTO"), QByteArray());
    EXPECT_EQ(laneA->asText("NOME_ARQ_FOTO"), Text());
}

// A statement's result describes every column, but only the columns the reader wants are
// copied out of the client library: the board's vehicle query selects the photo with the
// rest of the row and never reads it.
TEST_F(Values, OnlyTheWantedColumnsOfAResultAreCopied)
{
    server().execute(
        "INSERT INTO vyd.veiculo (CODIGO, PLACA, PILOTO, FOTO_PILOTO) VALUES"
        " (21, '21', 'Ana', UNHEX('FFD8FF00E000FF0A0DFFD9'));");
    Connection link(m_config);
    link.connect();
    const char sql[] = "SELECT CODIGO, PILOTO, FOTO_PILOTO FROM vyd.veiculo WHERE CODIGO = 21";
    const ResultSet all = link.run(sql);
    ASSERT_EQ(all.rows.size(), 1);
    EXPECT_EQ(all.rows[0][2].bytes, QByteArray::fromHex("FFD8FF00E000FF0A0DFFD9"));

    const ResultSet some =
        link.run(sql, [](const Text& column) { return column.compare("piloto", Qt::CaseInsensitive) == 0; });
    ASSERT_EQ(some.columns.size(), 3) << "every column is still described";
    EXPECT_EQ(some.columns[2].name, Text("FOTO_PILOTO"));
    ASSERT_EQ(some.rows.size(), 1);
    EXPECT_EQ(some.rows[0][1].bytes, Text("Ana"));
    EXPECT_TRUE(some.rows[0][0].null);
    EXPECT_TRUE(some.rows[0][2].null);
    EXPECT_TRUE(some.rows[0][2].bytes.isEmpty());
}

} // namespace
