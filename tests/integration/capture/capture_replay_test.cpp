// A day at the track in miniature: the simulator plays a race to a client while tcpdump
// captures the connection; the capture becomes a script; the script, replayed faster,
// sends the client the same bytes, step for step, at the captured pace.

#include "script.h"
#include "wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::sim;

namespace {

// Steps far enough apart that each write leaves as segments of its own (no coalescing
// behind an unacknowledged segment), a step bigger than loopback's largest segment, and
// the bytes a script can only write escaped.
const char kRace[] = R"(!wait-connection
100 Nova:@mostraTempo:
150 cod_pilotoA:102@pilA:Patr\xEDcia Mour\xE3o Tavares@apelidoA:Patty
200 \x21not a directive@posA:1\xBA
120 RA:0.412\r\n
300 back\\slash, "quotes", a NUL \x00 and a trailing blank 
250 !repeat 12000 TPA:7.345@
400 FA:7.757@FB:7.901
)";

// Arrivals at a client, with their times.
class Client {
public:
    explicit Client(quint16 port)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
            if (m_received.isEmpty())
                m_clock.start();
            m_received += m_socket.readAll();
            m_lastMs = m_clock.elapsed();
        });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    }
    bool waitFor(qsizetype bytes, int ms)
    {
        return waitUntil([&] { return m_received.size() >= bytes; }, ms);
    }
    const QByteArray& received() const { return m_received; }
    qint64 spanMs() const { return m_lastMs; } // first arrival to last

private:
    QTcpSocket m_socket;
    QByteArray m_received;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
};

class Process {
public:
    Process(const QString& program, const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(program, args);
    }
    ~Process()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    QProcess& operator*() { return m_process; }
    QProcess* operator->() { return &m_process; }

private:
    QProcess m_process;
};

QByteArray sentBy(const std::vector<Step>& steps)
{
    QByteArray all;
    for (const Step& s : steps) {
        if (s.kind == Step::Kind::Send)
            all += s.text;
        else if (s.kind == Step::Kind::Repeat)
            all += s.text.repeated(s.count);
    }
    return all;
}

std::vector<Step> readScript(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return parseScript(file.readAll());
}

bool waitForLog(QProcess& process, const QByteArray& text, int ms)
{
    QByteArray seen;
    return waitUntil(
        [&] {
            seen += process.readAllStandardError() + process.readAllStandardOutput();
            return seen.contains(text);
        },
        ms);
}

TEST(CaptureReplay, TheReplaySendsTheCapturedBytesStepForStepAtThePaceAsked)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString race = dir.filePath(QStringLiteral("race.txt"));
    const QString pcap = dir.filePath(QStringLiteral("day.pcap"));
    const QString converted = dir.filePath(QStringLiteral("day.txt"));
    {
        QFile f(race);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kRace);
    }
    const std::vector<Step> original = parseScript(kRace);
    const QByteArray expected = sentBy(original);

    // At the track: the capture runs beside the connection.
    QByteArray atTrack;
    {
        Process tcpdump(QStringLiteral("tcpdump"),
                        {QStringLiteral("-i"), QStringLiteral("lo"), QStringLiteral("--immediate-mode"),
                         QStringLiteral("-U"), QStringLiteral("-Z"), QStringLiteral("root"), QStringLiteral("-w"), pcap,
                         QStringLiteral("tcp port 3335")});
        ASSERT_TRUE(waitForLog(*tcpdump, "listening on", 10000)) << "tcpdump did not start";
        Process server(
            QStringLiteral(QUORVEL_SIM),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:3335"), QStringLiteral("--script"), race});
        ASSERT_TRUE(waitForLog(*server, "listening tcp", 10000));
        Client overlay(3335);
        ASSERT_TRUE(overlay.waitFor(expected.size(), 20000)) << overlay.received().size() << " bytes arrived";
        atTrack = overlay.received();
        // Every byte in the file (it holds headers besides), and the last acknowledgements.
        EXPECT_TRUE(waitUntil([&] { return QFileInfo(pcap).size() > expected.size(); }, 10000));
        runEventsFor(300);
        tcpdump->terminate();
        ASSERT_TRUE(tcpdump->waitForFinished(10000));
    }
    ASSERT_EQ(atTrack, expected);

    // At the office: the capture becomes a script.
    QProcess convert;
    convert.start(QStringLiteral(QUORVEL_SIM),
                  {QStringLiteral("--from-capture"), pcap, QStringLiteral("--to-script"), converted});
    ASSERT_TRUE(convert.waitForFinished(20000));
    ASSERT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
    const std::vector<Step> steps = readScript(converted);
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front().kind, Step::Kind::WaitConnection);
    EXPECT_EQ(sentBy(steps), expected);

    // Every write of the race is one step or, when bigger than a segment, a run of steps
    // that make exactly it, in the race's order; each after the race's delay.
    size_t at = 1;
    for (const Step& write : original) {
        if (write.kind == Step::Kind::WaitConnection)
            continue;
        const QByteArray text = write.kind == Step::Kind::Repeat ? write.text.repeated(write.count) : write.text;
        ASSERT_LT(at, steps.size()) << "the script ends before line " << write.line;
        if (write.line > 3) { // the first two follow the connection and the start of the capture
            EXPECT_NEAR(steps[at].delayMs, write.delayMs, 60) << "line " << write.line;
        }
        QByteArray made;
        while (made.size() < text.size() && at < steps.size())
            made += steps[at++].text;
        EXPECT_EQ(made, text) << "line " << write.line;
        if (write.kind == Step::Kind::Send) {
            EXPECT_EQ(made.size(), text.size()) << "line " << write.line << " did not come as one step";
        }
    }
    EXPECT_EQ(at, steps.size());

    // The replay, twice as fast.
    Process replay(QStringLiteral(QUORVEL_SIM),
                   {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:3336"), QStringLiteral("--script"), converted,
                    QStringLiteral("--speed"), QStringLiteral("2")});
    ASSERT_TRUE(waitForLog(*replay, "listening tcp", 10000));
    Client office(3336);
    ASSERT_TRUE(office.waitFor(expected.size(), 20000)) << office.received().size() << " bytes arrived";
    EXPECT_EQ(office.received(), expected);
    int nominalMs = 0;
    for (size_t i = 2; i < steps.size(); ++i)
        nominalMs += steps[i].delayMs;
    EXPECT_NEAR(office.spanMs(), nominalMs / 2, 150) << "nominal span " << nominalMs << " ms";
}

} // namespace
