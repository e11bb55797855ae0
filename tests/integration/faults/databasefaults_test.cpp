// The database going away in the middle of the board: errors in mLog, the overlay alive,
// and once the server is back the next open reconnects while the timing link stays up.
#include "../app/appfixture.h"
#include "jpegbytes.h"
#include "../discovery/responder.h"

#include <QDir>
#include <QFile>

using namespace quorvel;
using overlay::El;

namespace {

bool isRoutine(const Text& line)
{
    return line == "mLog" || line.endsWith(": Ping") || line == "SEM SERVIDOR";
}

} // namespace

TEST_F(AppFixture, MariaDbKilledDuringTheBoardIsLoggedAndTheNextOpenReconnects)
{
    auto& db = test::MariaDbServer::shared();
    db.execute("USE vyd;"
               "INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa');"
               "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
               "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);"
               "INSERT INTO categoria (CATEGORIA, COD_CAMPEONATO, LISTA, MATA_MATA, SHARKTANK) VALUES ('Turbo', 1, 'N', 'N', 'N');"
               "INSERT INTO veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES (11, '111', 'Ana Souza', 'ana.jpg', X'"
               + jpegBytes(20, 10, qRgb(10, 200, 10)).toHex() + "');"
               "INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, tfinal, status) VALUES "
               "(10, 1, 11, '1', 6.5, 'Valido');");
    config.fixedServerAddress = "127.0.0.1";
    config.idleIntervalMs = 300;
    config.pageIntervalMs = 200;
    Responder responder(config.discoveryPort);
    responder.plan({{0, "PONG"}});
    startForm();
    QTcpSocket* timingServer = acceptConnection();
    ASSERT_NE(timingServer, nullptr);
    readUntil(timingServer, 17);
    overlay::Screen& screen = form->screen();
    send(timingServer, "RA:0.321"); // the idle interval counts from the last message
    ASSERT_TRUE(waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 10000))
        << "no board:\n" << lines(El::mLog).join('\n').constData();

    db.kill();
    ASSERT_TRUE(waitUntil([&] {
        const TextList log = lines(El::mLog);
        return std::any_of(log.begin(), log.end(), [](const Text& l) { return !isRoutine(l); });
    }, 10000)) << "the lost database was not reported";
    // Pages keep failing while the server is down.
    ASSERT_TRUE(waitUntil([&] {
        const TextList log = lines(El::mLog);
        return std::any_of(log.begin(), log.end(), [](const Text& l) { return l.startsWith("SQL Error: "); });
    }, 15000)) << lines(El::mLog).join('\n').constData();
    const TextList whileDown = lines(El::mLog);

    db.start();
    // A message ends the board; the lane look-up opens the vehicle row on a new connection.
    send(timingServer, "cod_pilotoA:11@Alinhar:");
    EXPECT_TRUE(applied([&] { return QFile::exists(photos.filePath(QStringLiteral("ana.jpg"))); }))
        << "the lane look-up did not work again:\n" << lines(El::mLog).join('\n').constData();
    screen.setText(El::lblClassCat, "");
    ASSERT_TRUE(waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 10000))
        << "the board did not come back:\n" << lines(El::mLog).join('\n').constData();

    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState) << "the timing link dropped";
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_EQ(count(El::mLog, "VurazeZO:Desconectou"), 0);
    EXPECT_TRUE(std::any_of(whileDown.begin(), whileDown.end(), [](const Text& l) { return l.startsWith("SQL Error: "); }))
        << whileDown.join('\n').constData();
}
