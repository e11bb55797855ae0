#include "loopbackform.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>

namespace quorvel::test {

quint16 freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

Config loopbackFormConfig(const QString& photoFolder)
{
    Config config;
    config.tcpHost = "127.0.0.1";
    config.tcpPort = freeTcpPort();
    config.broadcastAddress = "127.0.0.1";
    config.discoveryPort = freeUdpPort();
    config.discoveryWaitMs = 50;
    config.retryIntervalMs = 300;
    config.photoFolder = photoFolder.toUtf8();
    return config;
}

} // namespace quorvel::test
