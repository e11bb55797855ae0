#include "../app/appfixture.h"
#include "responder.h"

#include "base/failure.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTimer>

#include <cstdlib>

using namespace quorvel;
using overlay::El;

namespace {

// Discovery as installed: "PING" broadcast to 255.255.255.255, answers from anyone, both
// links then pointed at the fixed server address, which this private network keeps on
// loopback, where the test database listens too. Waits are shorter than on air.
class Discovery : public AppFixture {
protected:
    std::unique_ptr<Responder> responder;

    void SetUp() override
    {
        setenv("MARIADB_BIND_ADDRESS", "0.0.0.0", 1);
        AppFixture::SetUp();
        config.broadcastAddress = "255.255.255.255";
        config.discoveryWaitMs = 600;
        config.discoveryBoundMs = 3000;
        responder = std::make_unique<Responder>(config.discoveryPort);
        dm = std::make_unique<db::DataModule>(config);
        form = std::make_unique<app::Form>(app, *dm, config);
        app.setExceptionHandler([this](const std::exception& e) { form->ManipulaExcecoes(e); });
        test::MariaDbServer::shared().execute(
            "USE vyd; INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa');"
            "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
            "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);");
    }

    void TearDown() override
    {
        responder.reset();
        AppFixture::TearDown();
    }

    // Runs one discovery to its end and returns how long it took.
    qint64 timedPing()
    {
        QElapsedTimer clock;
        clock.start();
        bool ended = false;
        form->Ping([&] { ended = true; });
        EXPECT_TRUE(waitUntil([&] { return ended; }, 30000)) << "the run never ended";
        return clock.elapsed();
    }

    bool hostsUnchanged() const
    {
        return form->serverAddress().isEmpty() && form->linkHost() == "127.0.0.1" && dm->Zconet().host().isEmpty();
    }
};

} // namespace

TEST_F(Discovery, WithoutAnAnswerTheRunWaitsLogsSemServidorAndArmsTheRetry)
{
    form->stopRetry();
    const qint64 took = timedPing();
    EXPECT_GE(took, 600);
    EXPECT_LT(took, 1200);
    EXPECT_EQ(form->discoveryFlag(), "N");
    const TextList log = lines(El::mLog);
    ASSERT_GE(log.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: Ping$"))
                    .match(QString::fromLatin1(log[log.size() - 2]))
                    .hasMatch())
        << log[log.size() - 2].constData();
    EXPECT_EQ(log.last(), "SEM SERVIDOR");
    EXPECT_TRUE(form->retryArmed());
    EXPECT_TRUE(hostsUnchanged());
    EXPECT_EQ(responder->requests(), 1);
}

TEST_F(Discovery, OneAnswerPointsBothLinksAtTheFixedAddressAndOpensTheEventQueries)
{
    responder->plan({{300, "I am the timing server at 10.9.8.7"}});
    test::MariaDbServer::shared().startGeneralLog();
    const qint64 took = timedPing();
    const QList<QByteArray> statements = test::MariaDbServer::shared().loggedStatements();
    test::MariaDbServer::shared().stopGeneralLog();
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 1600);
    EXPECT_EQ(form->discoveryFlag(), "S");
    EXPECT_EQ(form->serverAddress(), "192.168.0.100");
    EXPECT_EQ(form->linkHost(), "192.168.0.100");
    EXPECT_EQ(dm->Zconet().host(), "192.168.0.100");
    EXPECT_TRUE(dm->Zconet().connected());
    EXPECT_FALSE(lines(El::mLog).contains("SEM SERVIDOR"));

    // The three opens with the parameters held then (none yet), then the two reopenings.
    QList<QByteArray> opens;
    for (const QByteArray& s : statements)
        if (s.startsWith("select") || s.startsWith("SELECT"))
            opens << s;
    ASSERT_EQ(opens.size(), 5) << statements.join("\n").constData();
    EXPECT_EQ(opens[0], "select * from ORGANIZADOR");
    EXPECT_TRUE(opens[1].contains("where evento.codigo=NULL")) << opens[1].constData();
    EXPECT_TRUE(opens[2].contains("where COD_CAMPEONATO=NULL")) << opens[2].constData();
    EXPECT_TRUE(opens[3].contains("where evento.codigo=10")) << opens[3].constData();
    EXPECT_TRUE(opens[4].contains("where COD_CAMPEONATO=1")) << opens[4].constData();
    EXPECT_EQ(dm->qryCateg().isOpen(), true);
}

TEST_F(Discovery, EveryAnswerEarnsAFreshWait)
{
    responder->plan({{200, "a"}, {200, "b"}, {200, "c"}});
    const qint64 took = timedPing();
    EXPECT_GE(took, 1200); // 600 ms after the third answer
    EXPECT_LT(took, 1900);
    EXPECT_EQ(form->discoveryFlag(), "S");
}

TEST_F(Discovery, AnEmptyDatagramEndsTheWaitAsIfNoAnswerCame)
{
    responder->plan({{100, ""}, {100, "too late"}});
    const qint64 took = timedPing();
    EXPECT_LT(took, 500);
    EXPECT_EQ(form->discoveryFlag(), "N");
    EXPECT_EQ(lines(El::mLog).last(), "SEM SERVIDOR");
}

TEST_F(Discovery, EveryRunSendsFromTheSamePortAndAStrayDatagramCountsAtTheNextRun)
{
    timedPing();
    timedPing();
    const QList<quint16> ports = responder->senderPorts();
    ASSERT_EQ(ports.size(), 2);
    EXPECT_EQ(ports[0], ports[1]);
    EXPECT_EQ(form->discoveryPort(), ports[0]);

    responder->sendTo(ports[0], "stray");
    runEventsFor(100);
    timedPing();
    EXPECT_EQ(form->discoveryFlag(), "S");
    EXPECT_EQ(form->serverAddress(), "192.168.0.100");
}

TEST_F(Discovery, ASenderThatNeverStopsIsCutOffAtTheBound)
{
    responder->flood(100);
    const qint64 took = timedPing();
    EXPECT_GE(took, 3000);
    EXPECT_LT(took, 3600);
    EXPECT_EQ(form->discoveryFlag(), "S");
}

TEST_F(Discovery, WithoutABroadcastRouteTheRunFailsWithTheTwoLineSocketError)
{
    ASSERT_EQ(std::system("ip route del 255.255.255.255/32 dev lo"), 0);
    form->stopRetry();
    timedPing();
    EXPECT_EQ(lines(El::mLog).mid(lines(El::mLog).size() - 2),
              (TextList{"Socket Error # 101", "Network is unreachable"}))
        << "the run's failure goes to the failure route, as two lines";
    EXPECT_FALSE(form->discovering());
    EXPECT_FALSE(form->retryArmed()) << "a failed run arms nothing";
    EXPECT_TRUE(hostsUnchanged());
    EXPECT_FALSE(lines(El::mLog).contains("SEM SERVIDOR"));

    // The retry tick still connects: the timing server needs no discovery to be reached.
    server.listen(QHostAddress::LocalHost, config.tcpPort);
    form->TimerErroTimer();
    QTcpSocket* timingServer = acceptConnection(3000);
    ASSERT_NE(timingServer, nullptr);
    EXPECT_EQ(readUntil(timingServer, 17), "Quorvel:Conectado");
    const TextList log = lines(El::mLog);
    EXPECT_TRUE(log.contains("Socket Error # 101")) << "the failure shows as two lines";
    EXPECT_TRUE(log.contains("Network is unreachable"));
    std::system("ip route add 255.255.255.255/32 dev lo");
}

TEST_F(Discovery, AFailedStartUpDiscoveryStillResetsTheDisplay)
{
    ASSERT_EQ(std::system("ip route del 255.255.255.255/32 dev lo"), 0);
    formCreate();
    std::system("ip route add 255.255.255.255/32 dev lo");
    EXPECT_TRUE(lines(El::mLog).contains("Network is unreachable"));
    EXPECT_FALSE(form->idleArmed());
    EXPECT_FALSE(form->screen().visible(El::pnlEscondeA));
    EXPECT_EQ(form->screen().text(El::lblPilotoA), "") << "the laid-out placeholder never goes on air";
    EXPECT_FALSE(form->screen().visible(El::imgPreA));
}

// The waits as installed, not shortened: five seconds of silence end a run, an answer after
// one second earns five more, and a sender that never stops is cut off fifteen seconds
// after the request.
TEST_F(Discovery, TheInstalledWaitsAreFiveSecondsFromTheLastAnswerAndFifteenAtMost)
{
    config.discoveryWaitMs = kDiscoveryWaitMs;
    config.discoveryBoundMs = kDiscoveryBoundMs;
    form.reset();
    dm = std::make_unique<db::DataModule>(config);
    form = std::make_unique<app::Form>(app, *dm, config);
    form->stopRetry();

    struct Case {
        const char* what;
        QList<Responder::Answer> answers;
        bool flood;
        qint64 atLeastMs;
        qint64 belowMs;
        const char* flag;
    };
    const Case cases[] = {
        {"no answer", {}, false, 5000, 5700, "N"},
        {"one answer after a second", {{1000, "here"}}, false, 6000, 6700, "S"},
        // last: a flooding responder floods every later request too
        {"a sender that never stops", {}, true, 15000, 15700, "S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        responder->plan(c.answers);
        if (c.flood)
            responder->flood(200);
        const qint64 took = timedPing();
        EXPECT_GE(took, c.atLeastMs);
        EXPECT_LT(took, c.belowMs);
        EXPECT_EQ(form->discoveryFlag(), c.flag);
    }
}

// While the race database is down, an answered discovery fails in its queries; the retry
// tick still connects to the timing server, whose lamps and times need no database.
TEST_F(Discovery, ADatabaseFailureInAnAnsweredDiscoveryStillLetsTheTickConnect)
{
    auto& db = test::MariaDbServer::shared();
    db.execute("RENAME TABLE vyd.ORGANIZADOR TO vyd.organizador_away");
    responder->plan({{100, "here"}});
    form->stopRetry();
    server.listen(QHostAddress(QStringLiteral("192.168.0.100")), config.tcpPort);

    form->TimerErroTimer();
    EXPECT_TRUE(waitUntil([&] { return !form->discovering(); }, 10000));
    db.execute("RENAME TABLE vyd.organizador_away TO vyd.ORGANIZADOR");

    QTcpSocket* timingServer = acceptConnection(3000);
    ASSERT_NE(timingServer, nullptr) << "the tick made no connection attempt";
    EXPECT_EQ(readUntil(timingServer, 17), "Quorvel:Conectado");
    EXPECT_EQ(form->linkHost(), "192.168.0.100");
    bool logged = false;
    for (const Text& line : lines(El::mLog))
        logged = logged || line.startsWith("SQL Error: ");
    EXPECT_TRUE(logged) << "the database failure still reaches mLog";
}

// The run waits without holding the thread: a timer due meanwhile fires on time, and the
// operator's click on the camera box, delivered by the event loop, ticks it at once. The
// retry tick is the one thing kept back: it never starts a second run.
TEST_F(Discovery, WhileARunWaitsTheWindowGoesOn)
{
    config.discoveryWaitMs = 3000;
    form.reset();
    dm = std::make_unique<db::DataModule>(config);
    form = std::make_unique<app::Form>(app, *dm, config);
    form->showWindow();
    auto* camera = form->view().findChild<QCheckBox*>(QStringLiteral("ckCameraPos"));
    ASSERT_NE(camera, nullptr);
    ASSERT_TRUE(waitUntil([&] { return camera->isVisible(); }));
    const int pingsBefore = static_cast<int>(lines(El::mLog).size());

    QElapsedTimer sinceStart;
    bool ended = false;
    form->Ping([&] { ended = true; });
    sinceStart.start();
    ASSERT_TRUE(form->discovering());

    qint64 timerFiredAt = -1;
    QTimer::singleShot(100, [&] { timerFiredAt = sinceStart.elapsed(); });
    const QPoint centre = camera->rect().center();
    const QPointF global = camera->mapToGlobal(QPointF(centre));
    QCoreApplication::postEvent(camera,
                                new QMouseEvent(QEvent::MouseButtonPress, QPointF(centre), global, Qt::LeftButton,
                                                Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(camera,
                                new QMouseEvent(QEvent::MouseButtonRelease, QPointF(centre), global, Qt::LeftButton,
                                                Qt::NoButton, Qt::NoModifier));
    ASSERT_TRUE(waitUntil([&] { return form->screen().checked(El::ckCameraPos); }, 10000));
    const qint64 clickedAt = sinceStart.elapsed();
    ASSERT_TRUE(waitUntil([&] { return timerFiredAt >= 0; }, 10000));
    EXPECT_LT(clickedAt, 1000) << "the click waited for the discovery";
    EXPECT_LT(timerFiredAt, 1000) << "the timer waited for the discovery";
    EXPECT_TRUE(form->discovering()) << "the run had ended: nothing was shown to go on during its wait";

    // A retry tick that falls due while the run waits is kept back and comes after it.
    form->armRetry(200);
    runEventsFor(500);
    EXPECT_EQ(count(El::Memo1, "TimerErro"), 0) << "a retry tick came while the run waited";
    EXPECT_EQ(responder->requests(), 1) << "a second run started while one waited";
    ASSERT_TRUE(waitUntil([&] { return ended; }, 10000));
    EXPECT_GE(sinceStart.elapsed(), 3000 - 50);
    EXPECT_TRUE(waitUntil([&] { return count(El::Memo1, "TimerErro") == 1; }, 5000)) << "the kept tick never came";
    EXPECT_TRUE(waitUntil([&] { return responder->requests() == 2; }, 5000));
    const TextList log = lines(El::mLog).mid(pingsBefore);
    ASSERT_GE(log.size(), 3);
    EXPECT_TRUE(log[0].endsWith(": Ping"));
    EXPECT_EQ(log[1], "SEM SERVIDOR");
    EXPECT_TRUE(log[2].endsWith(": Ping"));
}
