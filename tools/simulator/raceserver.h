#pragma once

#include "base/text.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <vector>

class QTcpSocket;

namespace quorvel::sim {

class SimLog;

// The TCP side of the timing server: accepts overlays, logs every piece they send, sends
// the script's texts to every connected overlay, and closes or resets on cue.
class RaceServer : public QObject {
    Q_OBJECT
public:
    explicit RaceServer(SimLog& log, QObject* parent = nullptr);

    // Raises a Failure when the address cannot be listened on.
    void listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_server.serverPort(); }

    // Overlays connected and not being closed.
    int connectedCount() const;

    // In one write to each connected overlay.
    void send(const Text& text);
    // An orderly close (FIN): what the overlay still sends (its farewell) is logged until it
    // closes its side or a few seconds pass.
    void closeAll();
    // A reset (RST): SO_LINGER 0, then close.
    void resetAll();

signals:
    void connectionCountChanged();

private:
    struct Client {
        QTcpSocket* socket;
        Text peer;
        bool closing = false;
    };

    void accept();
    void drop(QTcpSocket* socket);
    Client* find(QTcpSocket* socket);

    SimLog& m_log;
    QTcpServer m_server;
    std::vector<Client> m_clients;
};

} // namespace quorvel::sim
