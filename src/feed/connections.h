#pragma once

#include "feed/httprequest.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <vector>

namespace quorvel::feed {

// How long a request's head may take, and how long a WebSocket may stay silent (it
// answers the feed's pings) before it is closed. Tests shorten them.
struct FeedTiming {
    int requestMs = 2000;
    int pingIntervalMs = 20000;
    int silenceMs = 60000;
    // An address that gave RequestRouter::kMaxFailedTokens wrong tokens within this time
    // is refused for as long.
    int tokenBlockMs = 60000;
};

// Every connection's life, from its accept to its drop: the head read within its time,
// the bounds on how many connections wait, are answered or are refused, the answer's own
// time, the upgrade to a WebSocket, the pings of the WebSockets, and the bytes that may
// wait for each. What a whole request asks for is the router's to decide.
class Connections : public QObject {
    Q_OBJECT
public:
    // Clients answered at once: requests being answered and WebSockets.
    static constexpr int kMaxClients = 32;
    // Connections whose request has not come whole yet, from one address and from all. A
    // streaming computer whose browser sources all come back at once may open as many as
    // there are places.
    static constexpr int kMaxWaitingPerAddress = kMaxClients;
    static constexpr int kMaxWaiting = 8 * kMaxClients;
    // Connections being told they are refused; past these they are closed unanswered.
    static constexpr int kMaxRefusing = 256;
    static constexpr qint64 kMaxClientFrameBytes = 4096;
    static constexpr qint64 kMaxQueuedBytes = 4 * 1024 * 1024;
    static constexpr int kResponseTimeoutMs = 30000;

    explicit Connections(QObject* parent = nullptr);
    ~Connections() override;

    bool listen(const QHostAddress& address, quint16 port);
    void setTiming(const FeedTiming& timing);
    quint16 port() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }
    // Clients answered: requests being answered, and WebSockets. Connections whose request
    // is being read or refused are not among them.
    int clientCount() const;

    // Answers and closes; a client that does not take its answer is cut off.
    void reply(QTcpSocket* socket, const char* status, const char* type = nullptr, const QByteArray& body = {},
               const char* extraHeaders = "");
    // Answers with an error status, within the bound on connections being refused.
    void refuse(QTcpSocket* socket, const char* status, const char* extraHeaders = "");
    // Takes a place among the clients, or refuses the request when there is none.
    bool admit(QTcpSocket* socket);
    // The answer may wait its turn: from now the connection has an answer's time.
    void awaitAnswer(QTcpSocket* socket);
    // Hands an admitted request for /events or /program to the WebSocket server.
    void upgrade(QTcpSocket* socket);

    // Sends to a WebSocket, or drops it when it does not keep up rather than buffer
    // without end.
    static void send(QWebSocket* client, const QByteArray& message, bool binary);

signals:
    // A request's head came whole and well-formed; the socket waits for its answer.
    void requestArrived(QTcpSocket* socket, const RequestHead& head);
    void webSocketOpened(QWebSocket* client);
    // The client is deleted once control returns to the event loop.
    void webSocketClosed(QWebSocket* client);

private:
    void acceptConnections();
    void readRequest(QTcpSocket* socket);
    void acceptWebSockets();
    void dropFloodedClients();
    void pingWebSockets();

    QTcpServer m_server;
    QWebSocketServer m_webSockets;
    FeedTiming m_timing;
    std::vector<QPointer<QTcpSocket>> m_waiting; // their request is being read
    std::vector<QPointer<QTcpSocket>> m_answered; // the clients counted
    std::vector<QPointer<QTcpSocket>> m_refused; // being told they are refused
    std::vector<QPointer<QTcpSocket>> m_upgraded; // under the WebSockets
    std::vector<QWebSocket*> m_open; // the WebSockets, pinged
    QTimer m_watch; // looks at what waits to be sent to each WebSocket
    QTimer m_ping;
    QElapsedTimer m_clock;
};

} // namespace quorvel::feed
