// The feed's view of the links and the race, in the whole form: the TCP link's and the
// database's state reach /events as they change, even when nothing on screen changes with
// them; the lanes and the board are the race's, as the timing server's messages made them.
#include "appfixture.h"

#include "app/feedlinks.h"
#include "feed/feedserver.h"
#include "race/board.h"

#include <QDir>
#include <QJsonDocument>
#include <QWebSocket>

#include <sys/socket.h>

using namespace quorvel;

namespace {

class FeedLinksTest : public AppFixture {
protected:
    void TearDown() override
    {
        if (form)
            form->onLinksChanged = nullptr;
        events.reset();
        feed.reset();
        AppFixture::TearDown();
    }

    // The form with its feed, and a client of /events that keeps the state it is sent.
    void startFormWithFeed()
    {
        // no clock ticks: a change of the links is the only change there is
        config.clockIntervalMs = 3600 * 1000;
        startForm();
        feed = std::make_unique<feed::FeedServer>(form->screen());
        ASSERT_TRUE(feed->listen(feed::FeedSettings{}));
        app::connectFeedToLinks(*feed, *form, *dm);
        events = std::make_unique<QWebSocket>();
        QObject::connect(events.get(), &QWebSocket::textMessageReceived, [this](const QString& message) {
            state = feed::applyMergePatch(state, QJsonDocument::fromJson(message.toUtf8()).object());
        });
        events->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/events").arg(feed->port())));
    }

    QString linkState() const { return state[QStringLiteral("link")][QStringLiteral("state")].toString(); }

    // The form connected to the test's timing server, the feed's first state received.
    QTcpSocket* startRace()
    {
        startFormWithFeed();
        QTcpSocket* timingServer = acceptConnection(20000);
        if (timingServer)
            readUntil(timingServer, 17);
        EXPECT_TRUE(waitUntil([&] { return !state.isEmpty(); }, 10000));
        return timingServer;
    }

    // Sends a chunk and waits until the form has applied it and the feed has sent what it
    // changed.
    void play(QTcpSocket* timingServer, const QByteArray& chunk)
    {
        send(timingServer, chunk);
        const QByteArray lastKey = chunk.split('@').last().split(':').first();
        ASSERT_TRUE(applied([&] { return lastItemIs(lastKey); })) << chunk.constData();
        settle();
    }

    // Waits until the /events client holds what /state says now.
    void settle()
    {
        const QJsonObject now = get("/state");
        ASSERT_TRUE(waitUntil([&] { return state == now; }, 10000))
            << QJsonDocument(now).toJson().constData() << "\n/events:\n"
            << QJsonDocument(state).toJson().constData();
    }

    QJsonObject get(const char* path)
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, feed->port());
        client.write(QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(feed->port()) +
                     "\r\n\r\n");
        QByteArray answer;
        waitUntil(
            [&] {
                answer += client.readAll();
                return client.state() == QAbstractSocket::UnconnectedState;
            },
            10000);
        return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    }

    QJsonObject lane(const char* name) const { return state[QStringLiteral("lanes")][QLatin1String(name)].toObject(); }
    QString field(const char* laneName, const char* key) const { return lane(laneName)[QLatin1String(key)].toString(); }
    QString reaction(const char* laneName) const
    {
        return lane(laneName)[QStringLiteral("times")][QStringLiteral("reaction")].toString();
    }
    QJsonObject lamps(const char* laneName) const { return lane(laneName)[QStringLiteral("lamps")].toObject(); }
    static QJsonObject json(const QByteArray& text) { return QJsonDocument::fromJson(text).object(); }

    std::unique_ptr<feed::FeedServer> feed;
    std::unique_ptr<QWebSocket> events;
    QJsonObject state;
};

} // namespace

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QJsonObject& object, std::ostream* out)
{
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}
QT_END_NAMESPACE

TEST_F(FeedLinksTest, TheLinksStateReachesTheFeedAsItChangesBeforeAnythingOnScreenDoes)
{
    // retries far apart: the close below is told before the next retry writes to Memo1
    config.retryIntervalMs = 5000;
    startFormWithFeed();
    ASSERT_TRUE(waitUntil([&] { return !state.isEmpty(); }, 10000));
    // the database of this computer, connected at start-up
    EXPECT_EQ(state[QStringLiteral("database")][QStringLiteral("state")].toString(), QStringLiteral("connected"));
    EXPECT_EQ(state[QStringLiteral("database")][QStringLiteral("server")].toString(), QString());
    EXPECT_EQ(state[QStringLiteral("link")][QStringLiteral("server")].toString(), QStringLiteral("127.0.0.1"));
    EXPECT_NE(linkState(), QStringLiteral("connected"));

    QTcpSocket* timingServer = acceptConnection(20000);
    ASSERT_NE(timingServer, nullptr);
    ASSERT_TRUE(waitUntil([&] { return linkState() == QStringLiteral("connected"); }, 10000))
        << linkState().toStdString();

    // The server's close changes nothing on screen until the next retry: the feed hears of
    // it from the form.
    const int retries = count(overlay::El::Memo1, "TimerErro");
    int retriesWhenTold = -1;
    QObject::connect(events.get(), &QWebSocket::textMessageReceived, [&] {
        if (retriesWhenTold < 0 && linkState() != QStringLiteral("connected"))
            retriesWhenTold = count(overlay::El::Memo1, "TimerErro");
    });
    server.close();
    ::shutdown(static_cast<int>(timingServer->socketDescriptor()), SHUT_WR);
    ASSERT_TRUE(waitUntil([&] { return retriesWhenTold >= 0; }, 20000));
    EXPECT_EQ(linkState(), QStringLiteral("down"));
    EXPECT_EQ(retriesWhenTold, retries);
}

TEST_F(FeedLinksTest, ATickAfterTheResetCountsFromTheNextMessageForHeadersAndLamps)
{
    QTcpSocket* timingServer = startRace();
    ASSERT_NE(timingServer, nullptr);
    play(timingServer, "pilA:Alpha Pilot@pilB:Bravo Pilot@Alinhar:@APS-HIGH:");
    EXPECT_EQ(field("A", "pilot"), QStringLiteral("Alpha Pilot"));

    // the operator ticks the box: what the strip shows stays as it was
    form->screen().setChecked(overlay::El::ckCameraPos, true);
    settle();
    EXPECT_TRUE(state[QStringLiteral("cameraSwap")].toBool());
    EXPECT_EQ(field("A", "pilot"), QStringLiteral("Alpha Pilot"));
    EXPECT_EQ(field("B", "pilot"), QStringLiteral("Bravo Pilot"));
    EXPECT_EQ(lamps("A"), json(R"({"preStage":true,"stage":false,"green":false,"foul":false})"));
    EXPECT_EQ(field("A", "row"), QStringLiteral("top"));

    // the next lamp goes to the other side: lane B's stage lamp on the top row
    play(timingServer, "e_BA-HIGH:");
    EXPECT_TRUE(form->screen().visible(overlay::El::imgStageA));
    EXPECT_EQ(lamps("A"), json(R"({"preStage":true,"stage":false,"green":false,"foul":false})"));
    EXPECT_EQ(lamps("B"), json(R"({"preStage":false,"stage":true,"green":false,"foul":false})"));
    EXPECT_EQ(field("B", "row"), QStringLiteral("top"));

    // the next run's reset writes the headers swapped; they still name their own lanes
    play(timingServer, "Alinhar:");
    EXPECT_EQ(form->screen().text(overlay::El::lblPilotoA), "Bravo Pilot");
    EXPECT_EQ(field("A", "pilot"), QStringLiteral("Alpha Pilot"));
    EXPECT_EQ(field("B", "pilot"), QStringLiteral("Bravo Pilot"));

    // A lamp lit for lane A, then lit again for lane B once the box is unticked: one lamp
    // on screen, lane B's now. Nothing on screen changes with it, and /events still hears.
    play(timingServer, "APS-HIGH:");
    EXPECT_TRUE(lamps("A")[QStringLiteral("preStage")].toBool());
    form->screen().setChecked(overlay::El::ckCameraPos, false);
    play(timingServer, "BPS-HIGH:");
    EXPECT_FALSE(lamps("A")[QStringLiteral("preStage")].toBool());
    EXPECT_TRUE(lamps("B")[QStringLiteral("preStage")].toBool());
}

TEST_F(FeedLinksTest, TheLightsOffViewShowsEachLanesReactionTimeAndVehicleAsTheRaceHasThem)
{
    QTcpSocket* timingServer = startRace();
    ASSERT_NE(timingServer, nullptr);
    play(timingServer, "num_pilotoA:12@carA:A | B@num_pilotoB:7@carB:Fusca@Alinhar:");
    form->screen().setChecked(overlay::El::ckCameraPos, true);
    play(timingServer, "RA:0,111@RB:0,222");
    // shown on the other side while the box is ticked
    EXPECT_EQ(form->screen().text(overlay::El::lblReaB), "0,111");
    EXPECT_EQ(reaction("A"), QStringLiteral("0,111"));
    EXPECT_EQ(reaction("B"), QStringLiteral("0,222"));
    EXPECT_EQ(field("A", "row"), QStringLiteral("bottom"));

    play(timingServer, "DesligouLampadas:");
    // each on its own side now
    EXPECT_EQ(form->screen().text(overlay::El::lblReaA), "0,111");
    EXPECT_EQ(form->screen().text(overlay::El::lblVeiculoA), "#12 - A | B");
    EXPECT_EQ(reaction("A"), QStringLiteral("0,111"));
    EXPECT_EQ(reaction("B"), QStringLiteral("0,222"));
    EXPECT_EQ(field("A", "row"), QStringLiteral("top"));
    EXPECT_EQ(field("A", "number"), QStringLiteral("12"));
    EXPECT_EQ(field("A", "vehicle"), QStringLiteral("A | B"));
    EXPECT_EQ(field("B", "number"), QStringLiteral("7"));
    EXPECT_EQ(field("B", "vehicle"), QStringLiteral("Fusca"));
}

TEST_F(FeedLinksTest, TheBoardHasNoRowsUntilItHasReadAPageThenTheRowsItRead)
{
    auto& db = test::MariaDbServer::shared();
    db.execute(
        "USE vyd;"
        "INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa');"
        "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
        "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);"
        "INSERT INTO categoria (CODIGO, CATEGORIA, COD_CAMPEONATO, LISTA, MATA_MATA, SHARKTANK) "
        "VALUES (5, 'Turbo', 1, 'N', 'N', 'N');"
        "INSERT INTO veiculo (CODIGO, PLACA, PILOTO) VALUES (1, '12', 'Ana Souza'), (2, '7', 'Bia Lima');"
        "INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, tfinal, status) VALUES "
        "(10, 5, 1, '1', 6.5, 'Valido'), (10, 5, 2, '1', 7.25, 'Valido')");
    QTcpSocket* timingServer = startRace();
    ASSERT_NE(timingServer, nullptr);
    play(timingServer, "Alinhar:");
    const QJsonObject noPage = json(R"({"category":"","rows":[]})");
    EXPECT_EQ(state[QStringLiteral("board")].toObject(), noPage);

    // what a discovery with an answer opens, then a short silence
    db::DataModule& data = *dm;
    app.guarded([&] {
        data.qryOrganizador().open();
        data.qryEvento().setParam("cod_evento", data.qryOrganizador().asInteger("COD_EVENTO_ABERTO"));
        data.qryEvento().open();
        data.qryCateg().setParam("COD_CAMPEONATO", data.qryEvento().asInteger("COD_CAMPEONATO"));
        data.qryCateg().open();
    });
    form->setIdleInterval(300);
    const QByteArray separator = race::decimalSeparatorFromLocale();
    const QJsonObject page = json(R"({"category":"Turbo","rows":[{"number":"12","pilot":"Ana","time":"6)" + separator +
                                  R"(500"},{"number":"7","pilot":"Bia","time":"7)" + separator + R"(250"}]})");
    ASSERT_TRUE(waitUntil([&] { return state[QStringLiteral("board")].toObject() == page; }, 20000))
        << QJsonDocument(state[QStringLiteral("board")].toObject()).toJson().constData()
        << lines(overlay::El::mLog).join('\n').constData();
    EXPECT_EQ(state[QStringLiteral("mode")].toString(), QStringLiteral("board"));
}

// The journal takes what the link reads, and the feed says whether it records: a folder
// that is gone mid-day stops it, said once in mLog and at once in the feed.
TEST_F(FeedLinksTest, TheJournalTakesWhatTheLinkReadsAndTheFeedSaysWhetherItRecords)
{
    QTemporaryDir journalDir;
    const QString folder = journalDir.filePath(QStringLiteral("journal"));
    ASSERT_TRUE(QDir().mkpath(folder));
    config.journalFolder = folder;
    startFormWithFeed();
    const auto journalState = [this] { return state[QStringLiteral("journal")][QStringLiteral("state")].toString(); };
    ASSERT_TRUE(waitUntil([&] { return journalState() == QStringLiteral("recording"); }, 10000))
        << journalState().toStdString();

    QTcpSocket* timingServer = acceptConnection(20000);
    ASSERT_NE(timingServer, nullptr);
    timingServer->write("RA:0.412@\xBA");
    const auto journalText = [&] {
        QByteArray all;
        for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("journal-*.txt")}, QDir::Files)) {
            QFile f(file.filePath());
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll();
        }
        return all;
    };
    ASSERT_TRUE(waitUntil([&] { return journalText().contains(" RA:0.412@\\xBA\n"); }, 10000))
        << journalText().constData();
    EXPECT_TRUE(journalText().contains("!wait-connection\n"));

    // The folder goes, and a file takes its name: the next write fails.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    timingServer->write("RB:0.399");
    ASSERT_TRUE(waitUntil([&] { return journalState() == QStringLiteral("stopped"); }, 10000))
        << journalState().toStdString();
    timingServer->write("RA:0.500");
    // The overlay goes on.
    ASSERT_TRUE(waitUntil([&] { return form->screen().text(overlay::El::lblReaA) == "0.500"; }, 10000));
    runEventsFor(300);
    int said = 0;
    for (const Text& line : lines(overlay::El::mLog))
        said += line.startsWith("Journal: cannot write") ? 1 : 0;
    EXPECT_EQ(said, 1);
}
