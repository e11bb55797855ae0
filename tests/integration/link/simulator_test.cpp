// The link against the real simulator executable: what the overlay sends arrives in the
// simulator's log, and the simulator's close and reset reach the link as they would from
// the timing server.

#include "escapes.h"
#include "recorder.h"
#include "script.h"
#include "wait.h"

#include "base/failure.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>

using quorvel::link::LinkState;
using quorvel::link::TcpClient;
using quorvel::sim::Step;

namespace {

// quorvel-sim on free loopback ports, playing a script and logging to a file.
class Simulator {
public:
    Simulator(const QByteArray& script, QStringList extra = {})
    {
        QFile file(m_dir.filePath(QStringLiteral("race.txt")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        m_process.setProgram(QStringLiteral(QUORVEL_SIM));
        m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                           QStringLiteral("--script"), file.fileName(), QStringLiteral("--log"),
                                           logPath()} +
                               extra);
        m_process.start();
        EXPECT_TRUE(m_process.waitForStarted());
        EXPECT_TRUE(waitUntil([this] { return tcpPort() != 0; }));
    }
    ~Simulator()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    QString logPath() const { return m_dir.filePath(QStringLiteral("sim.log")); }
    QByteArray log() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    quint16 portOf(const char* side) const
    {
        const QRegularExpression re(QStringLiteral("listening %1 [0-9.]+:(\\d+)").arg(QLatin1String(side)));
        const auto match = re.match(QString::fromLatin1(log()));
        return match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
    }
    quint16 tcpPort() const { return portOf("tcp"); }
    // Every piece received over TCP, in order, unescaped and joined.
    QByteArray receivedTcp() const
    {
        QByteArray all;
        const QRegularExpression re(QStringLiteral("tcp recv \\S+ \"(.*)\"$"));
        for (const QByteArray& line : log().split('\n')) {
            const auto match = re.match(QString::fromLatin1(line));
            if (match.hasMatch())
                all += quorvel::sim::unescapeBytes(match.captured(1).toLatin1());
        }
        return all;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

} // namespace

TEST(Simulator, PlaysARunThenClosesAndHearsTheFarewell)
{
    Simulator sim(
        "# a short run\n"
        "!wait-connection\n"
        "50 pilA:Jo\xE3o da Silva@catA:Dragster\n"
        "300 !close\n");
    Link link(sim.tcpPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(
        waitUntil([&] { return !link.events.events.isEmpty() && link.events.events.last().startsWith("disconnect"); }));
    EXPECT_EQ(link.events.received, "pilA:Jo\xE3o da Silva@catA:Dragster");
    ASSERT_TRUE(waitUntil([&] { return sim.log().contains("tcp closed"); }));
    EXPECT_EQ(sim.receivedTcp(), "Quorvel:ConectadoVurazeZO:Desconectou");
    EXPECT_EQ(link.client->state(), LinkState::Down);
}

// A test decides when the script goes on by making a file; until then nothing is sent.
TEST(Simulator, WaitsForTheFileBeforeTheNextStep)
{
    QTemporaryDir folder;
    const QString goAhead = folder.filePath(QStringLiteral("go"));
    Simulator sim("!wait-connection\n0 RA:0.100\n!wait-file " + goAhead.toLocal8Bit() + "\n0 RB:0.200\n");
    Link link(sim.tcpPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.events.received == "RA:0.100"; }));
    runEventsFor(500); // nothing may follow while the file is missing
    EXPECT_EQ(link.events.received, "RA:0.100");
    QFile file(goAhead);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(waitUntil([&] { return link.events.received == "RA:0.100RB:0.200"; }, 10000))
        << link.events.received.constData();
}

TEST(Simulator, ResetReachesTheLinkAsAnError)
{
    Simulator sim("!wait-connection\n200 !reset\n");
    Link link(sim.tcpPort());
    link.client->requestConnect();
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Connected; }));
    ASSERT_TRUE(waitUntil([&] { return link.client->state() == LinkState::Down; }));
    runEventsFor(100);
    const QList<QByteArray> expected{"connect [Connected open]", "error 104 [Connected open]",
                                     "failure Asynchronous socket error 104 [Down closed]"};
    EXPECT_EQ(link.events.events, expected);
    EXPECT_EQ(sim.receivedTcp(), "Quorvel:Conectado");
}

TEST(Simulator, AnswersDiscoveryAsToldAndLogsEveryRequest)
{
    struct Case {
        const char* name;
        QStringList options;
        QList<QByteArray> answers; // in order; an empty one is an empty datagram
    };
    const QList<Case> cases{
        {"one answer", {}, {"PONG"}},
        {"three answers",
         {QStringLiteral("--answers"), QStringLiteral("3"), QStringLiteral("--answer-interval"), QStringLiteral("50")},
         {"PONG", "PONG", "PONG"}},
        {"empty datagram", {QStringLiteral("--empty-answer")}, {""}},
        {"silent", {QStringLiteral("--answers"), QStringLiteral("0")}, {}},
        {"switched off", {QStringLiteral("--udp-off")}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Simulator sim("", QStringList{QStringLiteral("--udp"), QStringLiteral("127.0.0.1:0")} + c.options);
        QUdpSocket socket;
        ASSERT_TRUE(socket.bind(QHostAddress::LocalHost, 0));
        socket.writeDatagram("PING", QHostAddress::LocalHost, sim.portOf("udp"));
        QList<QByteArray> answers;
        const auto readAnswers = [&] {
            while (socket.hasPendingDatagrams()) {
                QByteArray data(static_cast<int>(std::max<qint64>(socket.pendingDatagramSize(), 0)), '\0');
                socket.readDatagram(data.data(), data.size());
                answers.append(data);
            }
        };
        // The request logged, then every answer due; then a while in which no more may come.
        const QByteArray logged = "udp recv 127.0.0.1:" + QByteArray::number(socket.localPort()) + " \"PING\"";
        EXPECT_TRUE(waitUntil([&] { return sim.log().contains(logged); }, 10000));
        EXPECT_TRUE(waitUntil(
            [&] {
                readAnswers();
                return answers.size() >= c.answers.size();
            },
            10000));
        runEventsFor(300);
        readAnswers();
        EXPECT_EQ(answers, c.answers);
    }
}

TEST(SimulatorScript, ReadsStepsDirectivesAndEscapes)
{
    const QByteArray script =
        "# comment\r\n"
        "\n"
        "!wait-connection\n"
        "100 pilA:Jos\xE9@\r\n"
        "0 a:\\x40b\\\\\n"
        "250 !close\n"
        "  # indented comment\n"
        "5 !repeat 3 x:1@\n"
        "!udp off\n"
        "0 \n"
        "!wait-file /tmp/a b\n";
    const std::vector<Step> steps = quorvel::sim::parseScript(script);
    ASSERT_EQ(steps.size(), 8u);
    EXPECT_EQ(steps[0].kind, Step::Kind::WaitConnection);
    EXPECT_EQ(steps[1].delayMs, 100);
    EXPECT_EQ(steps[1].text, "pilA:Jos\xE9@");
    EXPECT_EQ(steps[2].text, "a:@b\\");
    EXPECT_EQ(steps[3].kind, Step::Kind::Close);
    EXPECT_EQ(steps[3].delayMs, 250);
    EXPECT_EQ(steps[4].kind, Step::Kind::Repeat);
    EXPECT_EQ(steps[4].count, 3);
    EXPECT_EQ(steps[4].text, "x:1@");
    EXPECT_EQ(steps[5].kind, Step::Kind::UdpOff);
    EXPECT_EQ(steps[6].text, "");
    EXPECT_EQ(steps[7].kind, Step::Kind::WaitFile);
    EXPECT_EQ(steps[7].text, "/tmp/a b");

    for (const char* bad : {"pilA:x\n", "100\t!close\n", "!explode\n", "10 !repeat x y\n", "!wait-file\n"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(quorvel::sim::parseScript(bad), quorvel::Failure);
    }
}

TEST(SimulatorScript, TheDemoRunParsesAndSendsEveryKeyOfARun)
{
    QFile file(QStringLiteral(QUORVEL_SOURCE_DIR "/tools/simulator/scripts/demo-run.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<Step> steps = quorvel::sim::parseScript(file.readAll());
    QByteArray sent;
    for (const Step& step : steps) {
        if (step.kind == Step::Kind::Send)
            sent += step.text + '@';
    }
    EXPECT_EQ(steps.front().kind, Step::Kind::WaitConnection);
    EXPECT_TRUE(
        sent.contains("pilA:Patr\xED"
                      "cia Mour\xE3o Tavares@"))
        << "names are Windows-1252 bytes";
    for (const char* key :
         {"cod_pilotoA:", "cod_pilotoB:", "num_pilotoA:", "num_pilotoB:", "pilB:",      "apelidoA:",
          "apelidoB:",    "catA:",        "catB:",        "BatA:",        "BatB:",      "carA:",
          "carB:",        "Alinhar:",     "APS-HIGH:",    "BPS-HIGH:",    "e_AA-HIGH:", "e_BA-HIGH:",
          "sA_Verde:",    "sB_Verde:",    "RA:",          "RB:",          "PA:",        "PB:",
          "CA:",          "CB:",          "TPA:",         "TPB:",         "VA:",        "VB:",
          "FA:",          "FB:",          "GanhaA:",      "posA:",        "posB:",      "DesligouLampadas:",
          "Nova:"}) {
        EXPECT_TRUE(sent.contains(QByteArray("@") + key) || sent.startsWith(key)) << key;
    }
}

TEST(SimulatorScript, LogEscapesRoundTrip)
{
    const QByteArray bytes("a\"b\\c\x00\r\n\xE9\x80z", 11);
    EXPECT_EQ(quorvel::sim::escapeBytes(bytes), "a\\\"b\\\\c\\x00\\x0D\\x0A\\xE9\\x80z");
    // A logged line's text, pasted into a script, sends the bytes that were logged.
    EXPECT_EQ(quorvel::sim::unescapeBytes(quorvel::sim::escapeBytes(bytes)), bytes);
}
