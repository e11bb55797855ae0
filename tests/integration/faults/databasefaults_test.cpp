// The database going away in the middle of the board: errors in mLog, the overlay alive,
// and once the server is back the next open reconnects while the timing link stays up.
#include "../app/appfixture.h"
#include "../discovery/responder.h"
#include "jpegbytes.h"
#include "season.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

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
    db.execute(
        "USE vyd;"
        "INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa');"
        "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
        "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);"
        "INSERT INTO categoria (CATEGORIA, COD_CAMPEONATO, LISTA, MATA_MATA, SHARKTANK) VALUES ('Turbo', 1, 'N', 'N', 'N');"
        "INSERT INTO veiculo (CODIGO, PLACA, PILOTO, NOME_ARQ_FOTO, FOTO_PILOTO) VALUES (11, '111', 'Ana Souza', 'ana.jpg', X'" +
        jpegBytes(20, 10, qRgb(10, 200, 10)).toHex() +
        "');"
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
    ASSERT_TRUE(
        waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 10000))
        << "no board:\n"
        << lines(El::mLog).join('\n').constData();

    db.kill();
    ASSERT_TRUE(waitUntil(
        [&] {
            const TextList log = lines(El::mLog);
            return std::any_of(log.begin(), log.end(), [](const Text& l) { return !isRoutine(l); });
        },
        10000))
        << "the lost database was not reported";
    // Pages keep failing while the server is down.
    ASSERT_TRUE(waitUntil(
        [&] {
            const TextList log = lines(El::mLog);
            return std::any_of(log.begin(), log.end(), [](const Text& l) { return l.startsWith("SQL Error: "); });
        },
        15000))
        << lines(El::mLog).join('\n').constData();
    const TextList whileDown = lines(El::mLog);

    db.start();
    // A message ends the board; the lane look-up opens the vehicle row on a new connection.
    send(timingServer, "cod_pilotoA:11@Alinhar:");
    EXPECT_TRUE(applied([&] { return QFile::exists(photos.filePath(QStringLiteral("ana.jpg"))); }))
        << "the lane look-up did not work again:\n"
        << lines(El::mLog).join('\n').constData();
    screen.setText(El::lblClassCat, "");
    ASSERT_TRUE(
        waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 10000))
        << "the board did not come back:\n"
        << lines(El::mLog).join('\n').constData();

    EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState) << "the timing link dropped";
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_EQ(count(El::mLog, "VurazeZO:Desconectou"), 0);
    EXPECT_TRUE(std::any_of(whileDown.begin(), whileDown.end(), [](const Text& l) {
        return l.startsWith("SQL Error: ");
    })) << whileDown.join('\n').constData();
}

namespace {

// The longest time the event loop went without running a timer: how long the window could
// not repaint.
class Heartbeat {
public:
    Heartbeat()
    {
        m_clock.start();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longestGapMs = std::max(m_longestGapMs, now - m_lastMs);
            m_lastMs = now;
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_lastMs = 0;
    qint64 m_longestGapMs = 0;
};

// The server is continued after this whatever happens, so that a call that never returns
// still ends the test (and fails it).
constexpr int kWatchdogMs = 60000;
// A loaded machine may take this long beyond "the time-out plus a second" to run a timer.
constexpr qint64 kLateMs = 2000;

class HungDatabase : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        test::MariaDbServer::shared().execute(kOneVehicleSeason);
        // As on air: discovery answers and points the database link at the server over TCP.
        config.fixedServerAddress = "127.0.0.1";
        responder = std::make_unique<Responder>(config.discoveryPort);
        responder->plan({{0, "PONG"}});
    }
    void TearDown() override
    {
        test::MariaDbServer::shared().resume();
        AppFixture::TearDown();
        responder.reset();
    }

    QTcpSocket* connectedTimingServer()
    {
        startForm();
        QTcpSocket* timingServer = acceptConnection();
        if (timingServer)
            readUntil(timingServer, 17);
        return timingServer;
    }

    qint64 freezeBoundMs() const { return qint64(config.dbReadTimeoutS) * 1000 + 1000 + kLateMs; }

    void expectTimingLinkUp(QTcpSocket* timingServer)
    {
        EXPECT_EQ(form->linkState(), link::LinkState::Connected);
        EXPECT_EQ(timingServer->state(), QAbstractSocket::ConnectedState) << "the timing link dropped";
        EXPECT_FALSE(server.hasPendingConnections()) << "the timing link was made again";
        EXPECT_EQ(count(El::Memo1, "S Erro"), 0);
    }

    std::unique_ptr<Responder> responder;
};

} // namespace

// A database server that hangs while the board pages: the page tick gives up after the read
// time-out and says why, the window runs again at once, the timing link stays up; once the
// server goes on, the next page and a lane look-up work.
TEST_F(HungDatabase, WhileTheBoardPagesTheTickGivesUpWithinTheTimeOutAndTheBoardComesBack)
{
    auto& db = test::MariaDbServer::shared();
    config.idleIntervalMs = 300;
    config.pageIntervalMs = 200;
    QTcpSocket* timingServer = connectedTimingServer();
    ASSERT_NE(timingServer, nullptr);
    overlay::Screen& screen = form->screen();
    send(timingServer, "RA:0.321"); // the idle interval counts from the last message
    ASSERT_TRUE(
        waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 10000))
        << "no board:\n"
        << lines(El::mLog).join('\n').constData();
    // As installed, the next idle tick, which starts the board again, is a minute away: the
    // freeze measured is the page tick's own.
    form->setIdleInterval(kIdleIntervalMs);

    const Heartbeat heartbeat;
    db.pause(kWatchdogMs);
    const bool said = waitUntil([&] { return contains(El::mLog, "SQL Error: Lost connection to server during query"); },
                                kWatchdogMs - 5000);
    EXPECT_TRUE(db.paused()) << "the watchdog had to continue the server";
    ASSERT_TRUE(said) << lines(El::mLog).join('\n').constData();
    EXPECT_LE(heartbeat.longestGapMs(), freezeBoundMs()) << "the window was held too long";
    expectTimingLinkUp(timingServer);

    db.resume();
    form->setIdleInterval(config.idleIntervalMs);
    send(timingServer, "cod_pilotoA:11@RB:0.456");
    EXPECT_TRUE(applied([&] { return screen.text(El::lblReaB) == "0.456"; })) << lines(El::mLog).join('\n').constData();
    EXPECT_TRUE(form->laneAVehicle().isOpen());
    EXPECT_EQ(form->laneAVehicle().asText("PILOTO"), "Ana Souza");
    screen.setText(El::lblClassCat, "");
    EXPECT_TRUE(
        waitUntil([&] { return screen.visible(El::pnlClass) && screen.text(El::lblClassCat) == "Turbo"; }, 20000))
        << "the board did not come back:\n"
        << lines(El::mLog).join('\n').constData();
    expectTimingLinkUp(timingServer);
}

// A database server that hangs during a lane look-up: the look-up gives up within the read
// time-out and says why, the window runs again at once, the times still come through the
// timing link; once the server goes on, the next look-up works.
TEST_F(HungDatabase, ALaneLookUpGivesUpWithinTheTimeOutAndTheNextOneWorks)
{
    auto& db = test::MariaDbServer::shared();
    QTcpSocket* timingServer = connectedTimingServer();
    ASSERT_NE(timingServer, nullptr);
    overlay::Screen& screen = form->screen();
    ASSERT_TRUE(form->discoveryFlag() == "S" && form->serverAddress() == "127.0.0.1");
    const TextList before = lines(El::mLog);

    const Heartbeat heartbeat;
    db.pause(kWatchdogMs);
    timingServer->write("cod_pilotoA:11");
    timingServer->flush();
    const bool said = waitUntil([&] { return contains(El::mLog, "SQL Error: Lost connection to server during query"); },
                                kWatchdogMs - 5000);
    EXPECT_TRUE(db.paused()) << "the watchdog had to continue the server";
    ASSERT_TRUE(said) << lines(El::mLog).join('\n').constData() << "\nMemo1:\n"
                      << lines(El::Memo1).join('\n').constData();
    EXPECT_LE(heartbeat.longestGapMs(), freezeBoundMs()) << "the window was held too long";
    EXPECT_FALSE(form->laneAVehicle().isOpen());
    // The strip's times need no database.
    send(timingServer, "RA:0.321");
    EXPECT_TRUE(waitUntil([&] { return screen.text(El::lblReaA) == "0.321"; }));
    expectTimingLinkUp(timingServer);

    db.resume();
    send(timingServer, "cod_pilotoA:11");
    EXPECT_TRUE(waitUntil([&] { return form->laneAVehicle().isOpen(); })) << lines(El::mLog).join('\n').constData();
    EXPECT_EQ(form->laneAVehicle().asText("PILOTO"), "Ana Souza");
    const TextList after = lines(El::mLog);
    EXPECT_EQ(after.size(), before.size() + 1) << "only the lost connection is logged:\n"
                                               << after.join('\n').constData();
    expectTimingLinkUp(timingServer);
}
