#include "freeport.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>

namespace quorvel::test {

quint16 freeTcpPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    return probe.bind(QHostAddress::LocalHost, 0) ? probe.localPort() : 0;
}

} // namespace quorvel::test
