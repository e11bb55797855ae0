#include "db/connection.h"
#include "db/racequeries.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::db;

namespace {

// The texts byte for byte: blanks, line breaks and the empty last line of qryCateg
// included (the server's log drops trailing blanks, so they are checked here).
TEST(RaceQueries, CarryTheirNamesAndExactTexts)
{
    Connection link{Config{}}; // never connects here
    struct Case {
        std::unique_ptr<Query> query;
        const char* name;
        const char* sql;
    };
    Case cases[] = {
        {makeOrganizadorQuery(link), "qryOrganizador", "select * from ORGANIZADOR"},
        {makeEventoQuery(link), "qryEvento",
         "select campeonato.campeonato, evento.codigo,  evento.COMPRIMENTO_PISTA,evento.cod_campeonato, evento.evento, evento.data, evento.local\n"
         "from evento\n"
         "   inner join campeonato on (evento.cod_campeonato = campeonato.codigo)\n"
         "where evento.codigo=:cod_evento\n"
         "order by evento.data desc\n"
         "limit 1"},
        {makeCategQuery(link), "qryCateg",
         "SELECT * FROM categoria\n"
         "where COD_CAMPEONATO=:COD_CAMPEONATO\n"
         "AND categoria.LISTA = 'N'\n"
         "AND categoria.MATA_MATA = 'N'\n"
         "AND categoria.SHARKTANK = 'N'\n"
         "order by CATEGORIA\n"},
        {makeListaPilotosQuery(link), "qryListaPilotos",
         "SELECT RESULTADOS.COD_VEICULO, min(tfinal) as min\n"
         "FROM RESULTADOS\n"
         "where COD_EVENTO=:cod_evento\n"
         "AND ( RESULTADOS.COD_CATEGORIA= :cod_categoria)\n"
         "AND ( RESULTADOS.BATERIA<> 'T')\n"
         "and tfinal>0\n"
         "and status='Valido'\n"
         "GROUP BY RESULTADOS.COD_VEICULO\n"
         "ORDER BY  min(tfinal) "},
        {makeDadosVeiculoQuery(link), "qryDadosVeiculo", "select * from VEICULO\nwhere codigo=:cod_veiculo"},
        {makeVehicleQuery(link, "qryDadosPilotoA"), "qryDadosPilotoA", "select * from veiculo\nwhere CODIGO=:CODIGO"},
        {makeVehicleQuery(link, "qryDadosPilotoB"), "qryDadosPilotoB", "select * from veiculo\nwhere CODIGO=:CODIGO"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.query->name(), c.name);
        EXPECT_EQ(c.query->sql(), Text(c.sql)) << c.name;
        EXPECT_FALSE(c.query->isOpen());
    }
}

TEST(RaceQueries, ReadAsEmptyBeforeTheyOpen)
{
    Connection link{Config{}};
    auto lane = makeVehicleQuery(link, "qryDadosPilotoA");
    EXPECT_TRUE(lane->isNull("FOTO_PILOTO"));
    EXPECT_EQ(lane->bytes("FOTO_PILOTO"), QByteArray());
    EXPECT_EQ(lane->asText("NOME_ARQ_FOTO"), Text());
    EXPECT_EQ(lane->asInteger("CODIGO"), 0);
    EXPECT_EQ(lane->asFloat("TMP_ALVO"), 0.0);
    EXPECT_TRUE(lane->eof());
    EXPECT_FALSE(link.connected());
}

} // namespace
