#include "base/timer.h"
#include "db/datamodule.h"
#include "db/racequeries.h"
#include "mariadb_server.h"
#include "novehicles.h"
#include "overlay/renderer.h"
#include "overlay/screen.h"
#include "race/board.h"
#include "race/lanevehicles.h"
#include "race/racedisplay.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>

using namespace quorvel;
using namespace quorvel::db;

namespace {

constexpr int kVehicles = 2000;
constexpr int kResults = 100000;

// The demo championship grown to a season's size: kVehicles vehicles, each in one of the
// board's categories, and kResults results of the open event spread over them, so that
// every page's standings group thousands of rows.
void growToSeasonSize(const test::MariaDbServer& s)
{
    const QByteArray vehicles = QByteArray::number(kVehicles);
    const QByteArray results = QByteArray::number(kResults);
    s.execute(
        "USE vyd;\n"
        "SET @event = (SELECT COD_EVENTO_ABERTO FROM ORGANIZADOR ORDER BY CODIGO LIMIT 1);\n"
        "SET @championship = (SELECT cod_campeonato FROM evento WHERE codigo = @event);\n"
        "SET @more = " +
        vehicles +
        " - (SELECT COUNT(*) FROM veiculo);\n"
        "INSERT INTO veiculo (PLACA, VEICULO, PILOTO, COD_CAMPEONATO, APELIDO)\n"
        "  SELECT CONCAT('B', seq), CONCAT('Carro ', seq), CONCAT('Piloto Sintetico ', seq),\n"
        "         @championship, CONCAT('P', seq)\n"
        "  FROM seq_1_to_" +
        vehicles +
        " WHERE seq <= @more;\n"
        "CREATE TEMPORARY TABLE board_categories AS\n"
        "  SELECT CODIGO, ROW_NUMBER() OVER (ORDER BY CODIGO) - 1 AS i FROM categoria\n"
        "  WHERE COD_CAMPEONATO = @championship AND LISTA = 'N' AND MATA_MATA = 'N' AND SHARKTANK = 'N';\n"
        "SET @categories = (SELECT COUNT(*) FROM board_categories);\n"
        "CREATE TEMPORARY TABLE numbered_vehicles AS\n"
        "  SELECT CODIGO, ROW_NUMBER() OVER (ORDER BY CODIGO) - 1 AS i FROM veiculo;\n"
        "SET @count = (SELECT COUNT(*) FROM numbered_vehicles);\n"
        "SET @more = " +
        results +
        " - (SELECT COUNT(*) FROM RESULTADOS);\n"
        "INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, PISTA, reacao,\n"
        "                        t60, t100, t201, velocidade, tfinal, status, DT_HR)\n"
        "  SELECT @event, c.CODIGO, v.CODIGO, CAST(1 + seq % 6 AS CHAR), IF(seq % 2, 'A', 'B'),\n"
        "         0.2 + (seq % 97) / 1000, 2.4, 6.3, 10.2, 110 + seq % 20,\n"
        "         IF(seq % 50 = 0, 0, 8 + (seq * 7919 % 4000) / 1000),\n"
        "         IF(seq % 40 = 0, 'Queimou', 'Valido'), '2026-05-09 18:00:00'\n"
        "  FROM seq_1_to_" +
        results +
        " AS s\n"
        "  JOIN numbered_vehicles v ON v.i = s.seq % @count\n"
        "  JOIN board_categories c ON c.i = v.i % @categories\n"
        "  WHERE s.seq <= @more;\n"
        "DROP TEMPORARY TABLE board_categories, numbered_vehicles;\n"
        "ANALYZE TABLE veiculo, RESULTADOS;\n");
}

// A photo as a camera at the track makes one: a JPEG of a picture with grain, which does
// not compress to nothing as a flat one would.
QByteArray cameraJpeg(int width, int height, int grainLevels)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator grain(1);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(grain.bounded(grainLevels));
            line[x] = qRgb((x * 255 / width + noise) % 256, (y * 255 / height + noise) % 256, (x + y + noise) % 256);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes;
}

// Sizes of the photos every vehicle got, smallest and largest, in kB.
struct PhotoSizes {
    double smallestKB = 0;
    double largestKB = 0;
};

// Every vehicle with a photo of 100 kB to 1 MB (about 115, 190, 290 and 880 kB, taking
// turns): the vehicle row holds its photo, and the board's vehicle query reads the whole
// row. Written a hundred vehicles at a time, each write well within the client's time.
PhotoSizes givePhotos(const test::MariaDbServer& s)
{
    struct Photo {
        QSize size;
        int grain;
    };
    const Photo photos[] = {{{800, 600}, 16}, {{1024, 768}, 16}, {{1280, 960}, 16}, {{1600, 1200}, 48}};
    PhotoSizes kept{1e9, 0};
    s.execute("CREATE TABLE vyd.bench_photos (k INT PRIMARY KEY, photo LONGBLOB);");
    for (int k = 0; k < 4; ++k) {
        const QByteArray photo = cameraJpeg(photos[k].size.width(), photos[k].size.height(), photos[k].grain);
        kept.smallestKB = std::min(kept.smallestKB, photo.size() / 1024.0);
        kept.largestKB = std::max(kept.largestKB, photo.size() / 1024.0);
        s.execute("INSERT INTO vyd.bench_photos VALUES (" + QByteArray::number(k) + ", X'" + photo.toHex() + "');");
    }
    const int last = s.select("SELECT MAX(CODIGO) FROM vyd.veiculo").value(0).value(0).toInt();
    for (int from = 0; from <= last; from += 100) {
        s.execute(
            "UPDATE vyd.veiculo v JOIN vyd.bench_photos p ON p.k = v.CODIGO % 4"
            " SET v.FOTO_PILOTO = p.photo, v.NOME_ARQ_FOTO = CONCAT('foto', v.CODIGO, '.jpg')"
            " WHERE v.CODIGO BETWEEN " +
            QByteArray::number(from) + " AND " + QByteArray::number(from + 99) + ";");
    }
    s.execute("DROP TABLE vyd.bench_photos;");
    return kept;
}

int countOf(const test::MariaDbServer& s, const QByteArray& table)
{
    return s.select("SELECT COUNT(*) FROM vyd." + table).value(0).value(0).toInt();
}

PhotoSizes g_photos;

test::MariaDbServer& demoServer()
{
    static test::MariaDbServer& server = []() -> test::MariaDbServer& {
        test::MariaDbServer& s = test::MariaDbServer::shared();
        s.resetRaceDatabase();
        s.loadFile(test::MariaDbServer::demoFile());
        growToSeasonSize(s);
        g_photos = givePhotos(s);
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

// One page tick of the board as the program runs it: the next category, its standings, up
// to ten vehicles (12 statements for a full page, 2 for an empty one) and the 31 labels,
// against a season of 2,000 vehicles with camera-sized photos and 100,000 results (the
// counters say what the server held and how full the pages were).
void BM_BoardPage(benchmark::State& state)
{
    demoServer();
    overlay::Screen screen;
    screen.setTextMeasure(overlay::rendererTextMeasure());
    Timer tmrIntervalo{"tmrIntervalo", 60000};
    Timer tmrResult{"tmrResult", 100};
    bench::NoVehicles vehicles;
    race::RaceDisplay raceDisplay{screen, tmrIntervalo, vehicles};
    const Config config;
    DataModule dm{config};
    openEventQueries(dm);
    race::Board board{screen, dm, raceDisplay, tmrResult, config, "."};
    board.tmrIntervaloTimer();
    int pages = 0;
    int fullPages = 0;
    for (auto _ : state) {
        board.tmrResultTimer();
        ++pages;
        if (!screen.text(overlay::El::lblClassPil10).isEmpty())
            ++fullPages;
    }
    tmrResult.stop();
    state.counters["full_pages_%"] = 100.0 * fullPages / std::max(pages, 1);
    state.counters["vehicles"] = countOf(demoServer(), "veiculo");
    state.counters["results"] = countOf(demoServer(), "RESULTADOS");
    state.counters["photos"] = demoServer()
                                   .select("SELECT COUNT(*) FROM vyd.veiculo WHERE LENGTH(FOTO_PILOTO) >= 102400")
                                   .value(0)
                                   .value(0)
                                   .toInt();
    state.counters["photo_kB_smallest"] = g_photos.smallestKB;
    state.counters["photo_kB_largest"] = g_photos.largestKB;
}
BENCHMARK(BM_BoardPage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Where a page's time goes: the ten vehicle rows a full page reads, by the board's own
// statement (every column, the photo included), by the same statement without the photo,
// and the photos alone. The board does not show the photos; the difference is what reading
// them costs each page.
void BM_PageVehicleRows(benchmark::State& state)
{
    demoServer();
    const int variant = int(state.range(0));
    const char* const sql[] = {
        "select * from VEICULO\nwhere codigo=:cod_veiculo",
        "select CODIGO, PLACA, VEICULO, PILOTO, CIDADE, DETALHES_VEICULO, EQUIPE, EMAIL, CELULAR\n"
        "from VEICULO where codigo=:cod_veiculo",
        "select FOTO_PILOTO from VEICULO\nwhere codigo=:cod_veiculo",
    };
    const QList<ColumnDeclaration> photoOnly = {{"FOTO_PILOTO", ColumnKind::Blob}};
    QList<ColumnDeclaration> withoutPhoto = {{"CODIGO", ColumnKind::Integer}};
    for (const char* name : {"PLACA", "VEICULO", "PILOTO", "CIDADE", "DETALHES_VEICULO", "EQUIPE", "EMAIL", "CELULAR"})
        withoutPhoto.append({name, ColumnKind::String});
    Connection link{Config{}};
    std::unique_ptr<Query> rows = variant == 0
        ? makeDadosVeiculoQuery(link)
        : std::make_unique<Query>(link, "page", sql[variant], variant == 2 ? photoOnly : withoutPhoto);
    const int first = demoServer().select("SELECT MIN(CODIGO) FROM vyd.veiculo").value(0).value(0).toInt();
    int code = first;
    for (auto _ : state) {
        for (int n = 0; n < 10; ++n, ++code) {
            if (code >= first + 2000)
                code = first;
            rows->close();
            rows->setParam("cod_veiculo", code);
            rows->open();
            benchmark::DoNotOptimize(rows->recordCount());
        }
    }
    state.SetLabel(variant == 0 ? "the board's statement" : variant == 1 ? "without the photo" : "the photos alone");
}
BENCHMARK(BM_PageVehicleRows)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The slowest statement the board sends: the standings (qryListaPilotos) of the category
// with the most results of the open event, grouped over thousands of rows. The database
// link's read time-out must stay far above it.
void BM_StandingsStatement(benchmark::State& state)
{
    const test::MariaDbServer& server = demoServer();
    const QList<QByteArray> largest =
        server
            .select(
                "SELECT COD_EVENTO, COD_CATEGORIA, COUNT(*) AS n FROM vyd.RESULTADOS"
                " WHERE COD_EVENTO = (SELECT COD_EVENTO_ABERTO FROM vyd.ORGANIZADOR ORDER BY CODIGO LIMIT 1)"
                " GROUP BY COD_EVENTO, COD_CATEGORIA ORDER BY n DESC LIMIT 1")
            .value(0);
    Connection link{Config{}};
    auto standings = makeListaPilotosQuery(link);
    standings->setParam("cod_evento", largest.value(0).toInt());
    standings->setParam("cod_categoria", largest.value(1).toInt());
    int rows = 0;
    for (auto _ : state) {
        standings->close();
        standings->open();
        rows = standings->recordCount();
    }
    state.counters["results_grouped"] = largest.value(2).toInt();
    state.counters["rows"] = rows;
}
BENCHMARK(BM_StandingsStatement)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A "cod_pilotoA" lookup: the vehicle row with its photo.
void BM_LaneLookup(benchmark::State& state)
{
    demoServer();
    Connection link{Config{}};
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
