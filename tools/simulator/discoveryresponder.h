#pragma once

#include "base/text.h"

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

namespace quorvel::sim {

class SimLog;

// How the simulator answers a discovery request.
struct AnswerPlan {
    int count = 1; // answers per request; 0 logs the request and answers nothing
    int firstDelayMs = 0; // before the first answer
    int intervalMs = 1000; // between answers
    int floodForMs = 0; // more than 0: answer every intervalMs for this long instead
    Text text = "PONG"; // empty: a datagram of 0 bytes
};

// The UDP side of the timing server: answers "PING" on the discovery port, to the sender.
class DiscoveryResponder : public QObject {
    Q_OBJECT
public:
    DiscoveryResponder(SimLog& log, AnswerPlan plan, QObject* parent = nullptr);

    // Raises a Failure when the address cannot be bound.
    void bind(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_socket.localPort(); }

    // Off: requests are logged and left unanswered.
    void setAnswering(bool on);

private:
    void readRequests();
    void answer(const QHostAddress& to, quint16 port, int left, qint64 floodEndMs);

    SimLog& m_log;
    AnswerPlan m_plan;
    QUdpSocket m_socket;
    bool m_answering = true;
};

} // namespace quorvel::sim
