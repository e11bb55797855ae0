#include "db/datamodule.h"
#include "db/racequeries.h"
#include "mariadb_server.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace quorvel;
using namespace quorvel::db;

namespace {

test::MariaDbServer& demoServer()
{
    static test::MariaDbServer& server = [] () -> test::MariaDbServer& {
        test::MariaDbServer& s = test::MariaDbServer::shared();
        s.resetRaceDatabase();
        s.loadFile(test::MariaDbServer::demoFile());
        return s;
    }();
    return server;
}

void openEventQueries(DataModule& dm)
{
    dm.qryOrganizador().open();
    dm.qryEvento().setParam("cod_evento", dm.qryOrganizador().asInteger("COD_EVENTO_ABERTO"));
    dm.qryEvento().open();
    dm.qryCateg().setParam("COD_CAMPEONATO", dm.qryEvento().asInteger("COD_CAMPEONATO"));
    dm.qryCateg().open();
}

// What one page tick asks of the database: the next category, its standings and up to
// ten vehicles (12 statements for a full page, 2 for an empty one).
void BM_BoardPage(benchmark::State& state)
{
    demoServer();
    DataModule dm {Config {}};
    openEventQueries(dm);
    Query& categ = dm.qryCateg();
    Query& lista = dm.qryListaPilotos();
    int rows = 0;
    for (auto _ : state) {
        if (categ.eof())
            categ.first();
        else
            categ.next();
        lista.first();
        if (lista.recordCount() < 1)
            continue;
        benchmark::DoNotOptimize(categ.asText("CATEGORIA"));
        for (int row = 1; row <= 10 && !lista.eof(); ++row) {
            benchmark::DoNotOptimize(dm.qryDadosVeiculo().asText("PILOTO"));
            benchmark::DoNotOptimize(lista.asFloat("min"));
            ++rows;
            if (row < 10)
                lista.next();
        }
    }
    state.counters["rows/page"] = benchmark::Counter(double(rows) / double(state.iterations()));
}
BENCHMARK(BM_BoardPage)->Unit(benchmark::kMillisecond);

// A "cod_pilotoA" lookup: the vehicle row with its photo.
void BM_LaneLookup(benchmark::State& state)
{
    demoServer();
    Connection link {Config {}};
    auto lane = makeVehicleQuery(link, "qryDadosPilotoA");
    int code = 101;
    for (auto _ : state) {
        lane->close();
        lane->setParam("CODIGO", code);
        lane->open();
        benchmark::DoNotOptimize(lane->bytes("FOTO_PILOTO"));
        code = code == 140 ? 101 : code + 1;
    }
}
BENCHMARK(BM_LaneLookup)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
