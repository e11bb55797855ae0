#include "discoveryresponder.h"

#include "base/config.h"
#include "base/failure.h"
#include "simlog.h"

#include <QDateTime>
#include <QNetworkDatagram>
#include <QTimer>

namespace quorvel::sim {

DiscoveryResponder::DiscoveryResponder(SimLog& log, AnswerPlan plan, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_plan(std::move(plan))
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &DiscoveryResponder::readRequests);
}

void DiscoveryResponder::bind(const QHostAddress& address, quint16 port)
{
    if (!m_socket.bind(address, port))
        throw Failure("cannot bind udp " + address.toString().toLatin1() + ':' + Text::number(port) + ": " +
                      m_socket.errorString().toLatin1());
    m_log.line("listening udp " + address.toString().toLatin1() + ':' + Text::number(m_socket.localPort()));
}

void DiscoveryResponder::setAnswering(bool on)
{
    m_answering = on;
    m_log.line(on ? "udp answering on" : "udp answering off");
}

void DiscoveryResponder::readRequests()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram request = m_socket.receiveDatagram(kDiscoveryBufferBytes + 1);
        const QHostAddress from = request.senderAddress();
        const auto port = static_cast<quint16>(request.senderPort());
        m_log.bytes("udp recv " + from.toString().toLatin1() + ':' + Text::number(port), request.data());
        if (!m_answering || request.data() != kDiscoveryRequest)
            continue;
        const qint64 floodEnd = m_plan.floodForMs > 0 ? QDateTime::currentMSecsSinceEpoch() + m_plan.floodForMs : 0;
        if (m_plan.floodForMs <= 0 && m_plan.count <= 0)
            continue;
        QTimer::singleShot(m_plan.firstDelayMs, this,
                           [this, from, port, floodEnd] { answer(from, port, m_plan.count, floodEnd); });
    }
}

void DiscoveryResponder::answer(const QHostAddress& to, quint16 port, int left, qint64 floodEndMs)
{
    m_socket.writeDatagram(m_plan.text, to, port);
    m_log.bytes("udp sent " + to.toString().toLatin1() + ':' + Text::number(port), m_plan.text);
    const bool more = floodEndMs > 0 ? QDateTime::currentMSecsSinceEpoch() + m_plan.intervalMs < floodEndMs : left > 1;
    if (more) {
        QTimer::singleShot(m_plan.intervalMs, this,
                           [this, to, port, left, floodEndMs] { answer(to, port, left - 1, floodEndMs); });
    }
}

} // namespace quorvel::sim
