// quorvel-sim: a stand-in timing server. See README.md beside this file.

#include "base/config.h"
#include "base/failure.h"
#include "capturescript.h"
#include "console.h"
#include "discoveryresponder.h"
#include "raceserver.h"
#include "script.h"
#include "scriptplayer.h"
#include "simlog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <optional>

using namespace quorvel;
using namespace quorvel::sim;

namespace {

struct Endpoint {
    QHostAddress address;
    quint16 port;
};

// "address:port", IPv4 only.
Endpoint parseEndpoint(const QString& written, const char* option)
{
    const qsizetype colon = written.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const uint port = colon < 0 ? 0 : written.mid(colon + 1).toUInt(&portOk);
    const QHostAddress address(written.left(colon));
    if (colon < 0 || !portOk || port > 65535 || address.protocol() != QAbstractSocket::IPv4Protocol)
        throw Failure(format("%s: expected an IPv4 address and port, such as 127.0.0.1:%u", option, kTcpPort));
    return {address, static_cast<quint16>(port)};
}

double speedFactor(const QCommandLineParser& parser)
{
    bool ok = false;
    const double factor = parser.value(QStringLiteral("speed")).toDouble(&ok);
    if (!ok || !(factor >= 0.01 && factor <= 1000))
        throw Failure("--speed: expected a factor from 0.01 to 1000, such as 4");
    return factor;
}

// --from-capture: a pcap capture of the overlay's connection into a race script.
int convertCapture(const QCommandLineParser& parser)
{
    const QString from = parser.value(QStringLiteral("from-capture"));
    const QString to = parser.value(QStringLiteral("to-script"));
    if (to.isEmpty())
        throw Failure("--from-capture needs --to-script FILE (\"-\" for stdout)");
    bool portOk = false;
    const uint port = parser.value(QStringLiteral("server-port")).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65535)
        throw Failure("--server-port: expected a port number");
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure("cannot read the capture " + from.toLocal8Bit());
    const CaptureConversion c = scriptFromCapture(in.readAll(), static_cast<quint16>(port), QFileInfo(from).fileName());
    QFile out;
    const bool opened = to == QLatin1String("-")
        ? out.open(stdout, QIODevice::WriteOnly)
        : (out.setFileName(to), out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (!opened || out.write(c.script) != c.script.size() || !out.flush())
        throw Failure("cannot write the script " + to.toLocal8Bit());
    std::fprintf(stderr, "quorvel-sim: %d steps, %lld bytes, %lld ms", c.steps, static_cast<long long>(c.bytes),
                 static_cast<long long>(c.durationMs));
    if (c.retransmissions > 0)
        std::fprintf(stderr, "; %d retransmissions left out", c.retransmissions);
    if (c.missingBytes > 0)
        std::fprintf(stderr, "; %lld bytes missing from the capture", static_cast<long long>(c.missingBytes));
    if (c.truncatedAtEnd)
        std::fprintf(stderr, "; the capture's last packet is cut short (ignored)");
    std::fprintf(stderr, "\n");
    return 0;
}

int intValue(const QCommandLineParser& parser, const QString& name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok)
        throw Failure("--" + name.toLatin1() + ": expected a whole number");
    return value;
}

// --from / --to: a time of day, or -1 when not given.
qint64 timeOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return -1;
    const qint64 ms = parseTimeOfDay(parser.value(name));
    if (ms < 0)
        throw Failure("--" + name.toLatin1() + ": expected a time of day such as 14:05 or 14:05:09");
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A stand-in timing server for the quorvel overlay."));
    parser.addHelpOption();
    const auto option = [&parser](const char* name, const char* help, const char* valueName = nullptr,
                                  const char* fallback = nullptr) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(help));
        if (valueName)
            o.setValueName(QString::fromLatin1(valueName));
        if (fallback)
            o.setDefaultValue(QString::fromLatin1(fallback));
        parser.addOption(o);
    };
    option("listen", "TCP address to accept overlays on (port 0: any free port).", "address:port", "127.0.0.1:3335");
    option("udp", "Answer discovery requests on this UDP address (off unless given).", "address:port");
    option("udp-off", "Bind the UDP side but answer nothing until \"!udp on\".");
    option("answers", "Answers per discovery request (0: none).", "n", "1");
    option("answer-delay", "Milliseconds before the first answer.", "ms", "0");
    option("answer-interval", "Milliseconds between answers.", "ms", "1000");
    option("answer-text", "The answer's content; \"\" sends an empty datagram.", "text", "PONG");
    option("empty-answer", "Answer with an empty datagram.");
    option("flood", "Answer every --answer-interval ms for this long.", "ms", "0");
    option("script", "Race script to play (Windows-1252 bytes).", "file");
    option("loop", "Play the script again and again.");
    option("from", "Play only the script's stretch from this time of day (a journal's stamps).", "HH:MM[:SS]");
    option("to", "Play only the script's stretch before this time of day (a journal's stamps).", "HH:MM[:SS]");
    option("speed", "Play the script this many times faster (2: half the delays).", "factor", "1");
    option("from-capture", "Convert a pcap capture of the overlay's connection (tcpdump -w) into a script, then end.",
           "file");
    option("to-script", "Where --from-capture writes the script (\"-\": stdout).", "file");
    option("server-port", "With --from-capture: the timing server's TCP port in the capture.", "port", "3335");
    option("interactive", "Send each line typed on stdin; lines starting with ! are directives.");
    option("utf8-input", "Typed lines are UTF-8 and are sent as Windows-1252.");
    option("log", "Write the log to this file instead of stdout.", "file");
    parser.process(app);

    std::unique_ptr<SimLog> log;
    try {
        if (parser.isSet(QStringLiteral("from-capture")))
            return convertCapture(parser);
        log = std::make_unique<SimLog>(parser.value(QStringLiteral("log")));
        RaceServer server(*log);
        const Endpoint tcp = parseEndpoint(parser.value(QStringLiteral("listen")), "--listen");

        std::unique_ptr<DiscoveryResponder> responder;
        if (parser.isSet(QStringLiteral("udp"))) {
            AnswerPlan plan;
            plan.count = intValue(parser, QStringLiteral("answers"));
            plan.firstDelayMs = intValue(parser, QStringLiteral("answer-delay"));
            plan.intervalMs = intValue(parser, QStringLiteral("answer-interval"));
            plan.floodForMs = intValue(parser, QStringLiteral("flood"));
            plan.text = parser.isSet(QStringLiteral("empty-answer"))
                ? Text()
                : parser.value(QStringLiteral("answer-text")).toLatin1();
            responder = std::make_unique<DiscoveryResponder>(*log, plan);
            const Endpoint udp = parseEndpoint(parser.value(QStringLiteral("udp")), "--udp");
            responder->bind(udp.address, udp.port);
            if (parser.isSet(QStringLiteral("udp-off")))
                responder->setAnswering(false);
        }
        server.listen(tcp.address, tcp.port);

        ScriptPlayer player(*log, server, responder.get());
        QObject::connect(&player, &ScriptPlayer::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        if (parser.isSet(QStringLiteral("script"))) {
            QFile file(parser.value(QStringLiteral("script")));
            if (!file.open(QIODevice::ReadOnly))
                throw Failure("cannot read the script " + file.fileName().toLocal8Bit());
            player.setSpeed(speedFactor(parser));
            std::vector<Step> steps = parseScript(file.readAll());
            if (parser.isSet(QStringLiteral("from")) || parser.isSet(QStringLiteral("to")))
                steps = selectStretch(steps, timeOption(parser, QStringLiteral("from")),
                                      timeOption(parser, QStringLiteral("to")));
            player.play(std::move(steps), parser.isSet(QStringLiteral("loop")));
        }
        std::unique_ptr<Console> console;
        if (parser.isSet(QStringLiteral("interactive")))
            console = std::make_unique<Console>(*log, player, parser.isSet(QStringLiteral("utf8-input")));
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel-sim: %s\n", messageOf(e).constData());
        return 2;
    }
}
