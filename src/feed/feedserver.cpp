#include "feed/feedserver.h"

#include "base/config.h"
#include "feed/httprequest.h"
#include "feed/pictures.h"
#include "feed/statedocument.h"
#include "overlay/layout.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtEndian>

#include <algorithm>

namespace quorvel::feed {

using overlay::El;

namespace {

QByteArray resource(const char* name)
{
    QFile file(QLatin1String(":/feed/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The elements the program picture leaves out: their changes cost the browser source nothing.
bool isOperatorWidget(overlay::Kind kind)
{
    return kind == overlay::Kind::Memo || kind == overlay::Kind::ListBox || kind == overlay::Kind::CheckBox;
}

void removeClient(std::vector<QWebSocket*>& clients, QWebSocket* client)
{
    std::erase(clients, client);
}

int countOpen(std::vector<QPointer<QTcpSocket>>& sockets)
{
    std::erase_if(sockets, [](const QPointer<QTcpSocket>& socket) {
        return !socket || socket->state() == QAbstractSocket::UnconnectedState;
    });
    return int(sockets.size());
}

} // namespace

FeedServer::FeedServer(overlay::Screen& screen, QObject* parent)
    : QObject(parent)
    , m_screen(screen)
    , m_webSockets(QStringLiteral("quorvel"), QWebSocketServer::NonSecureMode)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(0);
    connect(&m_flush, &QTimer::timeout, this, &FeedServer::flush);
    connect(&m_server, &QTcpServer::newConnection, this, &FeedServer::acceptConnections);
    connect(&m_webSockets, &QWebSocketServer::newConnection, this, &FeedServer::acceptWebSockets);
    m_webSockets.setHandshakeTimeout(kRequestTimeoutMs);
    m_screen.addObserver(this);
}

FeedServer::~FeedServer()
{
    m_screen.removeObserver(this);
    m_events.clear();
    m_program.clear();
    // The WebSockets first, those waiting for their deferred deletion too: they may own
    // the connections below them.
    for (QWebSocket* client : findChildren<QWebSocket*>(Qt::FindDirectChildrenOnly)) {
        client->disconnect(this);
        delete client;
    }
    for (auto* sockets : {&m_connections, &m_refused})
        for (const QPointer<QTcpSocket>& socket : *sockets)
            if (socket && socket->parent() == this) {
                socket->disconnect(this);
                delete socket.data();
            }
}

bool FeedServer::listen(const FeedSettings& settings)
{
    m_settings = settings;
    return m_server.listen(settings.address, settings.port);
}

int FeedServer::clientCount()
{
    return countOpen(m_connections);
}

void FeedServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (clientCount() < kMaxClients) {
            m_connections.emplace_back(socket);
        } else if (countOpen(m_refused) < kMaxClients) {
            // Its request is read before the refusal goes out: closing on a request not
            // yet read would reset the connection, and the refusal could be lost with it.
            m_refused.emplace_back(socket);
        } else {
            socket->abort();
            continue;
        }
        // A head that does not fit is refused without reading on.
        socket->setReadBufferSize(kMaxRequestBytes + 1);
        auto* deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
        deadline->start(kRequestTimeoutMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void FeedServer::readRequest(QTcpSocket* socket)
{
    // Peeked, not read: a WebSocket's handshake is read again by the WebSocket server.
    const RequestHead head = parseRequestHead(socket->peek(kMaxRequestBytes + 1));
    if (head.status == RequestHead::Status::Incomplete)
        return;
    if (std::find(m_refused.begin(), m_refused.end(), socket) != m_refused.end()) {
        reply(socket, "503 Service Unavailable");
        return;
    }
    switch (head.status) {
    case RequestHead::Status::Incomplete: return;
    case RequestHead::Status::TooLarge: reply(socket, "431 Request Header Fields Too Large"); return;
    case RequestHead::Status::Malformed: reply(socket, "400 Bad Request"); return;
    case RequestHead::Status::Complete: answer(socket, head); return;
    }
}

void FeedServer::answer(QTcpSocket* socket, const RequestHead& head)
{
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (!m_settings.token.isEmpty() && !tokenMatches(head.bearer, m_settings.token)
        && !tokenMatches(head.queryToken, m_settings.token)) {
        reply(socket, "401 Unauthorized", nullptr, {}, "WWW-Authenticate: Bearer\r\n");
        return;
    }
    if (head.method != "GET") {
        reply(socket, "405 Method Not Allowed", nullptr, {}, "Allow: GET\r\n");
        return;
    }
    const QByteArray& path = head.path;
    if (path == "/events" || (path == "/program" && head.webSocket)) {
        if (!head.webSocket) {
            reply(socket, "426 Upgrade Required", nullptr, {}, "Upgrade: websocket\r\n");
            return;
        }
        upgrade(socket);
        return;
    }
    const QRect client = clientRect();
    if (path == "/")
        reply(socket, "200 OK", "text/html; charset=utf-8", resource("status.html"));
    else if (path == "/program")
        reply(socket, "200 OK", "text/html; charset=utf-8", resource("program.html"));
    else if (path == "/state")
        reply(socket, "200 OK", "application/json",
              QJsonDocument(state()).toJson(QJsonDocument::Compact));
    else if (path == "/program.png")
        reply(socket, "200 OK", "image/png", pngBytes(programPicture(m_renderer, m_screen, client)));
    else if (path == "/strip.png")
        reply(socket, "200 OK", "image/png",
              pngBytes(programPicture(m_renderer, m_screen, client & QRect(0, 0, client.width(), kStripHeight))));
    else if (path == "/window.png")
        reply(socket, "200 OK", "image/png", pngBytes(windowPicture(m_renderer, m_screen)));
    else
        reply(socket, "404 Not Found");
}

void FeedServer::reply(QTcpSocket* socket, const char* status, const char* type, const QByteArray& body,
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
    if (auto* deadline = socket->findChild<QTimer*>(QStringLiteral("deadline")))
        deadline->start(kResponseTimeoutMs);
}

void FeedServer::upgrade(QTcpSocket* socket)
{
    socket->disconnect(this);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    delete socket->findChild<QTimer*>(QStringLiteral("deadline"));
    // From here the WebSocket server owns the socket and reads the handshake again.
    m_webSockets.handleConnection(socket);
}

void FeedServer::acceptWebSockets()
{
    while (QWebSocket* client = m_webSockets.nextPendingConnection()) {
        client->setParent(this);
        // A client's messages are never acted on; one too large ends the connection.
        client->setMaxAllowedIncomingFrameSize(kMaxClientFrameBytes);
        client->setMaxAllowedIncomingMessageSize(kMaxClientFrameBytes);
        const bool events = client->requestUrl().path() == QLatin1String("/events");
        std::vector<QWebSocket*>& clients = events ? m_events : m_program;
        connect(client, &QWebSocket::disconnected, this, [this, client] {
            removeClient(m_events, client);
            removeClient(m_program, client);
            client->deleteLater();
        });
        // Send what is pending to the others first, so that the newcomer's first message
        // and everyone's next patch start from the same state.
        flush();
        if (events) {
            m_sent = state();
            m_events.push_back(client);
            send(client, QJsonDocument(m_sent).toJson(QJsonDocument::Compact), false);
        } else {
            clients.push_back(client);
            // Browser sources tend to come back together (a streaming tool restarted): the
            // whole picture is made once for all of them.
            if (m_wholePicture.isEmpty())
                m_wholePicture = pictureMessage(clientRect());
            send(client, m_wholePicture, true);
        }
    }
}

void FeedServer::send(QWebSocket* client, const QByteArray& message, bool binary)
{
    if (client->state() != QAbstractSocket::ConnectedState)
        return;
    // A client that does not keep up is dropped rather than buffered without end.
    if (client->bytesToWrite() + message.size() > kMaxQueuedBytes) {
        client->abort();
        return;
    }
    if (binary)
        client->sendBinaryMessage(message);
    else
        client->sendTextMessage(QString::fromUtf8(message));
}

QRect FeedServer::clientRect() const
{
    return QRect(0, 0, m_screen.clientWidth(), m_screen.clientHeight());
}

void FeedServer::elementChanged(El e, const QRect& before)
{
    const overlay::Element& element = m_screen.element(e);
    if (!isOperatorWidget(element.kind))
        m_wholePicture.clear();
    if (m_events.empty() && m_program.empty())
        return;
    m_stateChanged = true;
    if (!m_program.empty() && !isOperatorWidget(element.kind)) {
        const QRect now = m_screen.windowRect(e);
        const QRect then(now.topLeft() - element.box.topLeft() + before.topLeft(), before.size());
        m_dirty += (now | then) & clientRect();
    }
    changed();
}

void FeedServer::statusChanged()
{
    if (m_events.empty())
        return;
    m_stateChanged = true;
    changed();
}

QJsonObject FeedServer::state() const
{
    return stateDocument(m_screen, m_status ? m_status() : LinkStatus{}, m_race ? m_race() : RaceState{});
}

void FeedServer::clientHeightChanged(int)
{
    m_wholePicture.clear();
    m_stateChanged = true;
    // the canvas takes the new size, which clears it
    m_dirty = clientRect();
    changed();
}

void FeedServer::changed()
{
    // Changes made together go out together, after the overlay has made them all.
    if (!m_flush.isActive())
        m_flush.start();
}

void FeedServer::flush()
{
    m_flush.stop();
    if (m_stateChanged && !m_events.empty()) {
        QJsonObject now = state();
        const QJsonObject patch = mergePatch(m_sent, now);
        m_sent = std::move(now);
        if (!patch.isEmpty()) {
            const QByteArray message = QJsonDocument(patch).toJson(QJsonDocument::Compact);
            for (QWebSocket* client : std::vector<QWebSocket*>(m_events))
                send(client, message, false);
        }
    }
    m_stateChanged = false;

    const QRegion dirty = std::exchange(m_dirty, QRegion()) & clientRect();
    if (dirty.isEmpty() || m_program.empty())
        return;
    // Many small rectangles cost more as PNGs than the one around them.
    std::vector<QRect> areas;
    if (dirty.rectCount() > 8)
        areas.push_back(dirty.boundingRect());
    else
        areas.assign(dirty.begin(), dirty.end());
    for (const QRect& area : areas) {
        const QByteArray message = pictureMessage(area);
        for (QWebSocket* client : std::vector<QWebSocket*>(m_program))
            send(client, message, true);
    }
}

QByteArray FeedServer::pictureMessage(const QRect& area)
{
    // x, y, the client area's width and height, big-endian, then the PNG
    QByteArray message(8, Qt::Uninitialized);
    qToBigEndian<quint16>(quint16(area.x()), message.data());
    qToBigEndian<quint16>(quint16(area.y()), message.data() + 2);
    qToBigEndian<quint16>(quint16(m_screen.clientWidth()), message.data() + 4);
    qToBigEndian<quint16>(quint16(m_screen.clientHeight()), message.data() + 6);
    return message + pngBytes(programPicture(m_renderer, m_screen, area));
}

} // namespace quorvel::feed
