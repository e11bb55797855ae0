#include "db/racequeries.h"

namespace quorvel::db {

namespace {

using K = ColumnKind;

// The statement texts go to the server exactly as written here, blanks included.

constexpr char kOrganizadorSql[] = "select * from ORGANIZADOR";

constexpr char kEventoSql[] =
    "select campeonato.campeonato, evento.codigo,  evento.COMPRIMENTO_PISTA,evento.cod_campeonato, evento.evento, evento.data, evento.local\n"
    "from evento\n"
    "   inner join campeonato on (evento.cod_campeonato = campeonato.codigo)\n"
    "where evento.codigo=:cod_evento\n"
    "order by evento.data desc\n"
    "limit 1";

constexpr char kCategSql[] =
    "SELECT * FROM categoria\n"
    "where COD_CAMPEONATO=:COD_CAMPEONATO\n"
    "AND categoria.LISTA = 'N'\n"
    "AND categoria.MATA_MATA = 'N'\n"
    "AND categoria.SHARKTANK = 'N'\n"
    "order by CATEGORIA\n";

constexpr char kListaPilotosSql[] =
    "SELECT RESULTADOS.COD_VEICULO, min(tfinal) as min\n"
    "FROM RESULTADOS\n"
    "where COD_EVENTO=:cod_evento\n"
    "AND ( RESULTADOS.COD_CATEGORIA= :cod_categoria)\n"
    "AND ( RESULTADOS.BATERIA<> 'T')\n"
    "and tfinal>0\n"
    "and status='Valido'\n"
    "GROUP BY RESULTADOS.COD_VEICULO\n"
    "ORDER BY  min(tfinal) ";

constexpr char kDadosVeiculoSql[] =
    "select * from VEICULO\n"
    "where codigo=:cod_veiculo";

constexpr char kVehicleSql[] =
    "select * from veiculo\n"
    "where CODIGO=:CODIGO";

// Kept as laid out by hand: a column a line, as the statements list them.
// clang-format off
const QList<ColumnDeclaration> kVeiculoColumns = {
    {"CODIGO", K::Integer},
    {"PLACA", K::String},
    {"VEICULO", K::String},
    {"PILOTO", K::String},
    {"CIDADE", K::String},
    {"DETALHES_VEICULO", K::String},
    {"EQUIPE", K::String},
    {"EMAIL", K::String},
    {"CELULAR", K::String},
};

const QList<ColumnDeclaration> kLaneOnlyColumns = {
    {"COD_CAMPEONATO", K::Integer},
    {"WEB", K::String},
    {"CPF", K::String},
    {"CNH", K::String},
    {"FOTO", K::String},
    {"TMP_DIAL", K::Float},
    {"NOSHARK", K::String},
    {"APELIDO", K::String},
    {"RG", K::String},
    {"TMP_DIAL_AUTO", K::Float},
    {"NOME_ARQ_FOTO", K::String},
    {"DT_HR_CAD", K::DateTime},
    {"FOTO_PILOTO", K::Blob},
    {"DT_HR_ATUAL", K::DateTime},
    {"TMP_ALVO", K::Float},
};

} // namespace

std::unique_ptr<Query> makeOrganizadorQuery(Connection& connection)
{
    return std::make_unique<Query>(connection, "qryOrganizador", kOrganizadorSql,
        QList<ColumnDeclaration> {{"COD_EVENTO_ABERTO", K::Integer}});
}

std::unique_ptr<Query> makeEventoQuery(Connection& connection)
{
    return std::make_unique<Query>(connection, "qryEvento", kEventoSql,
        QList<ColumnDeclaration> {
            {"CAMPEONATO", K::String},
            {"CODIGO", K::Integer},
            {"COMPRIMENTO_PISTA", K::Integer},
            {"COD_CAMPEONATO", K::Integer},
            {"EVENTO", K::String},
            {"DATA", K::Date},
            {"LOCAL", K::String},
        });
}

std::unique_ptr<Query> makeCategQuery(Connection& connection)
{
    return std::make_unique<Query>(connection, "qryCateg", kCategSql,
        QList<ColumnDeclaration> {
            {"CODIGO", K::Integer},
            {"SIGLA", K::String},
            {"CATEGORIA", K::String},
            {"DESCRICAO", K::String},
            {"COD_CAMPEONATO", K::Integer},
            {"WEB", K::String},
            {"TEMPO_MINIMO", K::Float},
            {"RECORD_TEMPO", K::Float},
            {"RECORD_PILOTO", K::String},
            {"DATA_RECORD", K::Date},
            {"MIN_PISTA_TOTAL", K::String},
            {"TEMPO_MAX", K::Float},
            {"TXT_PAINEL", K::String},
            {"SHARKTANK", K::String},
            {"TREE_MODE", K::Integer},
            {"MATA_MATA", K::String},
            {"LISTA", K::String},
            {"DIAL_AUTO", K::String},
            {"NA_MOSCA", K::String},
        });
}

std::unique_ptr<Query> makeListaPilotosQuery(Connection& connection)
{
    return std::make_unique<Query>(connection, "qryListaPilotos", kListaPilotosSql,
        QList<ColumnDeclaration> {{"COD_VEICULO", K::Integer}, {"min", K::Float}});
}

std::unique_ptr<Query> makeDadosVeiculoQuery(Connection& connection)
{
    return std::make_unique<Query>(connection, "qryDadosVeiculo", kDadosVeiculoSql, kVeiculoColumns);
}

std::unique_ptr<Query> makeVehicleQuery(Connection& connection, const char* name)
{
    return std::make_unique<Query>(connection, name, kVehicleSql, kVeiculoColumns + kLaneOnlyColumns);
}

// clang-format on
} // namespace quorvel::db
