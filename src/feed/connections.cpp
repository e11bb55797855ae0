#include "feed/connections.h"

#include "feed/httprequest.h"

#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

namespace quorvel::feed {

namespace {

bool isOpen(const QPointer<QTcpSocket>& socket)
{
    return socket && socket->state() != QAbstractSocket::UnconnectedState;
}

// Closed connections leave the lists before they grow, so that the lists stay bounded.
void forgetClosed(std::vector<QPointer<QTcpSocket>>& sockets)
{
    std::erase_if(sockets, [](const QPointer<QTcpSocket>& socket) { return !isOpen(socket); });
}

QTimer* deadlineOf(QTcpSocket* socket)
{
    return socket->findChild<QTimer*>(QStringLiteral("deadline"));
}

// A single-shot timer that cuts the connection; started by whoever gives it a time.
QTimer* addDeadline(QTcpSocket* socket)
{
    auto* deadline = new QTimer(socket);
    deadline->setObjectName(QStringLiteral("deadline"));
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
    return deadline;
}

} // namespace

Connections::Connections(QObject* parent)
    : QObject(parent)
    , m_webSockets(QStringLiteral("quorvel"), QWebSocketServer::NonSecureMode)
{
    connect(&m_server, &QTcpServer::newConnection, this, &Connections::acceptConnections);
    connect(&m_webSockets, &QWebSocketServer::newConnection, this, &Connections::acceptWebSockets);
    m_webSockets.setHandshakeTimeout(m_timing.requestMs);
    m_ping.setInterval(m_timing.pingIntervalMs);
    connect(&m_ping, &QTimer::timeout, this, &Connections::pingWebSockets);
    m_clock.start();
    m_watch.setInterval(100);
    connect(&m_watch, &QTimer::timeout, this, &Connections::dropFloodedClients);
}

Connections::~Connections()
{
    m_open.clear();
    // The WebSockets first, those waiting for their deferred deletion too: they may own
    // the connections below them.
    for (QWebSocket* client : findChildren<QWebSocket*>(Qt::FindDirectChildrenOnly)) {
        client->disconnect(this);
        delete client;
    }
    for (auto* sockets : {&m_waiting, &m_answered, &m_refused})
        for (const QPointer<QTcpSocket>& socket : *sockets)
            if (socket && socket->parent() == this) {
                socket->disconnect(this);
                delete socket.data();
            }
}

bool Connections::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server.listen(address, port))
        return false;
    m_watch.start();
    m_ping.start();
    return true;
}

void Connections::setTiming(const FeedTiming& timing)
{
    m_timing = timing;
    m_webSockets.setHandshakeTimeout(timing.requestMs);
    m_ping.setInterval(timing.pingIntervalMs);
}

int Connections::clientCount() const
{
    return int(std::count_if(m_answered.begin(), m_answered.end(), isOpen));
}

void Connections::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A place among the clients is taken only once the request is read and answered;
        // until then one address may hold a few connections, so that connections opened
        // and left idle keep no one else out.
        const QHostAddress peer = socket->peerAddress();
        forgetClosed(m_waiting);
        const auto fromPeer = std::count_if(m_waiting.begin(), m_waiting.end(),
                                            [&](const QPointer<QTcpSocket>& s) { return s->peerAddress() == peer; });
        if (fromPeer >= kMaxWaitingPerAddress || int(m_waiting.size()) >= kMaxWaiting) {
            refuse(socket, "503 Service Unavailable");
            continue;
        }
        m_waiting.emplace_back(socket);
        // A head that does not fit is refused without reading on.
        socket->setReadBufferSize(kMaxRequestBytes + 1);
        addDeadline(socket)->start(m_timing.requestMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void Connections::readRequest(QTcpSocket* socket)
{
    // Peeked, not read: a WebSocket's handshake is read again by the WebSocket server.
    const RequestHead head = parseRequestHead(socket->peek(kMaxRequestBytes + 1));
    if (head.status == RequestHead::Status::Incomplete)
        return;
    std::erase(m_waiting, socket);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (head.status == RequestHead::Status::TooLarge)
        refuse(socket, "431 Request Header Fields Too Large");
    else if (head.status == RequestHead::Status::Malformed)
        refuse(socket, "400 Bad Request");
    else
        emit requestArrived(socket, head);
}

void Connections::refuse(QTcpSocket* socket, const char* status, const char* extraHeaders)
{
    forgetClosed(m_refused);
    if (int(m_refused.size()) >= kMaxRefusing) {
        socket->abort();
        return;
    }
    m_refused.emplace_back(socket);
    if (!deadlineOf(socket))
        addDeadline(socket);
    reply(socket, status, nullptr, {}, extraHeaders);
}

bool Connections::admit(QTcpSocket* socket)
{
    forgetClosed(m_answered);
    if (int(m_answered.size()) >= kMaxClients) {
        refuse(socket, "503 Service Unavailable");
        return false;
    }
    m_answered.emplace_back(socket);
    return true;
}

void Connections::awaitAnswer(QTcpSocket* socket)
{
    if (QTimer* deadline = deadlineOf(socket))
        deadline->start(kResponseTimeoutMs);
}

void Connections::reply(QTcpSocket* socket, const char* status, const char* type, const QByteArray& body,
                        const char* extraHeaders)
{
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    QByteArray response = QByteArray("HTTP/1.1 ") + status + "\r\n";
    if (type)
        response += QByteArray("Content-Type: ") + type + "\r\nCache-Control: no-store\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += extraHeaders;
    response += "Connection: close\r\n\r\n";
    response += body;
    // What the client sent beyond the head is never read; left unread, it would turn the
    // close into a reset that can overtake the answer.
    socket->readAll();
    socket->write(response);
    socket->disconnectFromHost();
    // A client that does not take its answer is cut off.
    awaitAnswer(socket);
}

void Connections::upgrade(QTcpSocket* socket)
{
    socket->disconnect(this);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    delete deadlineOf(socket);
    // Not only what the feed sends waits in the socket: the WebSocket answers each ping of
    // the client itself. What waits is looked at after each read the WebSocket has acted
    // on, and on the timer, whoever wrote it.
    m_upgraded.emplace_back(socket);
    connect(socket, &QTcpSocket::readyRead, this, &Connections::dropFloodedClients, Qt::QueuedConnection);
    // From here the WebSocket server owns the socket and reads the handshake again.
    m_webSockets.handleConnection(socket);
}

void Connections::acceptWebSockets()
{
    while (QWebSocket* client = m_webSockets.nextPendingConnection()) {
        client->setParent(this);
        // A client's messages are never acted on; one too large ends the connection.
        client->setMaxAllowedIncomingFrameSize(kMaxClientFrameBytes);
        client->setMaxAllowedIncomingMessageSize(kMaxClientFrameBytes);
        // A client that no longer answers the pings is gone, whatever its socket says.
        client->setProperty("heard", m_clock.elapsed());
        const auto heard = [this, client] { client->setProperty("heard", m_clock.elapsed()); };
        connect(client, &QWebSocket::pong, this, heard);
        connect(client, &QWebSocket::textMessageReceived, this, heard);
        connect(client, &QWebSocket::binaryMessageReceived, this, heard);
        connect(client, &QWebSocket::disconnected, this, [this, client] {
            std::erase(m_open, client);
            emit webSocketClosed(client);
            client->deleteLater();
        });
        m_open.push_back(client);
        emit webSocketOpened(client);
    }
}

void Connections::send(QWebSocket* client, const QByteArray& message, bool binary)
{
    if (client->state() != QAbstractSocket::ConnectedState)
        return;
    if (client->bytesToWrite() + message.size() > kMaxQueuedBytes) {
        client->abort();
        return;
    }
    if (binary)
        client->sendBinaryMessage(message);
    else
        client->sendTextMessage(QString::fromUtf8(message));
}

void Connections::pingWebSockets()
{
    const qint64 now = m_clock.elapsed();
    for (QWebSocket* client : std::vector<QWebSocket*>(m_open)) {
        if (now - client->property("heard").toLongLong() > m_timing.silenceMs)
            client->abort();
        else
            client->ping();
    }
}

void Connections::dropFloodedClients()
{
    forgetClosed(m_upgraded);
    for (const QPointer<QTcpSocket>& socket : std::vector<QPointer<QTcpSocket>>(m_upgraded))
        if (socket && socket->bytesToWrite() > kMaxQueuedBytes)
            socket->abort();
}

} // namespace quorvel::feed
