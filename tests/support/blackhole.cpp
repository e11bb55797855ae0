#include "blackhole.h"

#include <QFile>
#include <QProcess>

namespace quorvel::test {

namespace {

constexpr char kAddress[] = "10.254.0.1";

// A namespace made by unshare -n has loopback only (and, once made here, t0): any other
// interface means the host's network, which must never be changed.
bool insidePrivateNetwork(QString* why)
{
    QFile devices(QStringLiteral("/proc/self/net/dev"));
    if (!devices.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot list the network interfaces");
        return false;
    }
    const QList<QByteArray> lines = devices.readAll().split('\n');
    for (qsizetype i = 2; i < lines.size(); ++i) { // two header lines
        const QByteArray name = lines[i].split(':').value(0).trimmed();
        if (!name.isEmpty() && name != "lo" && name != "t0") {
            *why =
                QStringLiteral("not inside a private network namespace (interface %1): refusing to change the network")
                    .arg(QString::fromLatin1(name));
            return false;
        }
    }
    return true;
}

bool ip(const QStringList& arguments, QString* why)
{
    QProcess process;
    process.start(QStringLiteral("ip"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QStringLiteral("ip %1: %2")
                   .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

QByteArray makeBlackHole(QString* why)
{
    if (!insidePrivateNetwork(why))
        return {};
    const QString address = QString::fromLatin1(kAddress) + QStringLiteral("/32");
    if (!ip({QStringLiteral("tuntap"), QStringLiteral("add"), QStringLiteral("dev"), QStringLiteral("t0"),
             QStringLiteral("mode"), QStringLiteral("tun")},
            why) ||
        !ip({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("t0"), QStringLiteral("up")}, why) ||
        !ip({QStringLiteral("route"), QStringLiteral("add"), address, QStringLiteral("dev"), QStringLiteral("t0")},
            why))
        return {};
    return kAddress;
}

} // namespace

QByteArray blackHoleAddress(QString* why)
{
    static QString reason;
    static const QByteArray address = makeBlackHole(&reason);
    if (address.isEmpty() && why)
        *why = reason;
    return address;
}

} // namespace quorvel::test
