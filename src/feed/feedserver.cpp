#include "feed/feedserver.h"

#include "base/config.h"
#include "feed/httprequest.h"
#include "feed/pngpictures.h"
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
    m_webSockets.setHandshakeTimeout(m_timing.requestMs);
    m_ping.setInterval(m_timing.pingIntervalMs);
    connect(&m_ping, &QTimer::timeout, this, &FeedServer::pingWebSockets);
    m_clock.start();
    m_watch.setInterval(100);
    connect(&m_watch, &QTimer::timeout, this, &FeedServer::dropFloodedClients);
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
    for (auto* sockets : {&m_waiting, &m_connections, &m_refused})
        for (const QPointer<QTcpSocket>& socket : *sockets)
            if (socket && socket->parent() == this) {
                socket->disconnect(this);
                delete socket.data();
            }
}

bool FeedServer::listen(const FeedSettings& settings)
{
    m_settings = settings;
    if (!m_server.listen(settings.address, settings.port))
        return false;
    m_watch.start();
    m_ping.start();
    return true;
}

int FeedServer::clientCount()
{
    return countOpen(m_connections);
}

void FeedServer::setTiming(const Timing& timing)
{
    m_timing = timing;
    m_webSockets.setHandshakeTimeout(timing.requestMs);
    m_ping.setInterval(timing.pingIntervalMs);
}

void FeedServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A place among the clients is taken only once the request is read and answered;
        // until then one address may hold a few connections, so that connections opened
        // and left idle keep no one else out.
        const QHostAddress peer = socket->peerAddress();
        countOpen(m_waiting);
        const auto fromPeer = std::count_if(m_waiting.begin(), m_waiting.end(), [&](const QPointer<QTcpSocket>& s) {
            return s->peerAddress() == peer;
        });
        if (fromPeer >= kMaxWaitingPerAddress || int(m_waiting.size()) >= kMaxWaiting) {
            refuse(socket, "503 Service Unavailable");
            continue;
        }
        m_waiting.emplace_back(socket);
        // A head that does not fit is refused without reading on.
        socket->setReadBufferSize(kMaxRequestBytes + 1);
        auto* deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
        deadline->start(m_timing.requestMs);
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
    std::erase(m_waiting, socket);
    switch (head.status) {
    case RequestHead::Status::Incomplete: return;
    case RequestHead::Status::TooLarge: refuse(socket, "431 Request Header Fields Too Large"); return;
    case RequestHead::Status::Malformed: refuse(socket, "400 Bad Request"); return;
    case RequestHead::Status::Complete: answer(socket, head); return;
    }
}

void FeedServer::refuse(QTcpSocket* socket, const char* status, const char* extraHeaders)
{
    if (countOpen(m_refused) >= kMaxRefusing) {
        socket->abort();
        return;
    }
    m_refused.emplace_back(socket);
    if (!socket->findChild<QTimer*>(QStringLiteral("deadline"))) {
        auto* deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
    }
    reply(socket, status, nullptr, {}, extraHeaders);
}

void FeedServer::answer(QTcpSocket* socket, const RequestHead& head)
{
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    // Without a token only this computer's own pages may read the feed: a page of another
    // site whose name was made to point here still names that site in Host. With one, the
    // crew may reach the computer by any name; the token guards it.
    const bool hostAccepted = head.hosts == 1 && !head.host.isEmpty()
                              && (!m_settings.token.isEmpty() || isLoopbackHost(head.host));
    if (!hostAccepted) {
        refuse(socket, "421 Misdirected Request");
        return;
    }
    if (!m_settings.token.isEmpty()) {
        // Tokens are not to be guessed: an address that keeps giving wrong ones is not
        // listened to for a while, whatever it gives.
        const QString peer = socket->peerAddress().toString();
        if (tokenBlocked(peer)) {
            refuse(socket, "429 Too Many Requests",
                   QByteArray("Retry-After: " + QByteArray::number((m_timing.tokenBlockMs + 999) / 1000) + "\r\n")
                       .constData());
            return;
        }
        if (!tokenMatches(head.bearer, m_settings.token) && !tokenMatches(head.queryToken, m_settings.token)) {
            tokenFailed(peer);
            refuse(socket, "401 Unauthorized", "WWW-Authenticate: Bearer\r\n");
            return;
        }
    }
    if (head.method != "GET") {
        refuse(socket, "405 Method Not Allowed", "Allow: GET\r\n");
        return;
    }
    const QByteArray& path = head.path;
    const bool webSocket = path == "/events" || (path == "/program" && head.webSocket);
    const bool known = webSocket || path == "/" || path == "/program" || path == "/state" || path == "/program.png"
                       || path == "/strip.png" || path == "/window.png";
    if (!known) {
        refuse(socket, "404 Not Found");
        return;
    }
    if (webSocket && !head.webSocket) {
        refuse(socket, "426 Upgrade Required", "Upgrade: websocket\r\n");
        return;
    }
    // A browser says which page opens a WebSocket, and lets any page open one: only the
    // feed's own pages, or a client that is no page, may.
    if (webSocket && (head.origins > 1 || (head.origins == 1 && !originIsHost(head.origin, head.host)))) {
        refuse(socket, "403 Forbidden");
        return;
    }
    if (clientCount() >= kMaxClients) {
        refuse(socket, "503 Service Unavailable");
        return;
    }
    m_connections.emplace_back(socket);
    if (webSocket) {
        upgrade(socket);
        return;
    }
    if (path == "/")
        reply(socket, "200 OK", "text/html; charset=utf-8", resource("status.html"));
    else if (path == "/program")
        reply(socket, "200 OK", "text/html; charset=utf-8", resource("program.html"));
    else if (path == "/state")
        reply(socket, "200 OK", "application/json",
              QJsonDocument(state()).toJson(QJsonDocument::Compact));
    else if (path == "/program.png")
        servePicture(socket, PictureCache::Kind::Program);
    else if (path == "/strip.png")
        servePicture(socket, PictureCache::Kind::Strip);
    else if (path == "/window.png")
        servePicture(socket, PictureCache::Kind::Window);
}

void FeedServer::servePicture(QTcpSocket* socket, PictureCache::Kind kind)
{
    // Its answer may wait its turn: from now it has an answer's time.
    if (auto* deadline = socket->findChild<QTimer*>(QStringLiteral("deadline")))
        deadline->start(kResponseTimeoutMs);
    const QString peer = socket->peerAddress().toString();
    m_pictureQueues[peer].push_back({socket, kind});
    // The next one's turn comes when this connection is gone: its answer taken, or cut.
    connect(socket, &QObject::destroyed, this, [this, peer](QObject* gone) { nextPicture(peer, gone); });
    nextPicture(peer, nullptr);
}

void FeedServer::nextPicture(const QString& peer, QObject* gone)
{
    const auto found = m_pictureQueues.find(peer);
    if (found == m_pictureQueues.end())
        return;
    std::deque<PictureRequest>& queue = found->second;
    std::erase_if(queue, [gone](const PictureRequest& r) { return r.socket == gone; });
    if (queue.empty()) {
        m_pictureQueues.erase(found);
        return;
    }
    PictureRequest& first = queue.front();
    if (first.started)
        return;
    first.started = true;
    QTcpSocket* socket = first.socket;
    m_pictures.request(first.kind, socket,
                       [this, socket](const QByteArray& png) {
                           // a client that went while its picture was made is not written to
                           if (socket->state() == QAbstractSocket::ConnectedState)
                               reply(socket, "200 OK", "image/png", png);
                       });
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
    // Not only what the feed sends waits in the socket: the WebSocket answers each ping of
    // the client itself. What waits is looked at after each read the WebSocket has acted
    // on, and on the timer, whoever wrote it.
    m_upgraded.emplace_back(socket);
    connect(socket, &QTcpSocket::readyRead, this, &FeedServer::dropFloodedClients, Qt::QueuedConnection);
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
        // A client that no longer answers the pings is gone, whatever its socket says.
        client->setProperty("heard", m_clock.elapsed());
        const auto heard = [this, client] { client->setProperty("heard", m_clock.elapsed()); };
        connect(client, &QWebSocket::pong, this, heard);
        connect(client, &QWebSocket::textMessageReceived, this, heard);
        connect(client, &QWebSocket::binaryMessageReceived, this, heard);
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

bool FeedServer::tokenBlocked(const QString& peer)
{
    const auto found = m_tokenFailures.find(peer);
    return found != m_tokenFailures.end() && m_clock.elapsed() < found->second.blockedUntil;
}

void FeedServer::tokenFailed(const QString& peer)
{
    const qint64 now = m_clock.elapsed();
    const auto forgotten = [&](const TokenFailures& f) {
        return now >= f.blockedUntil && (f.times.empty() || now - f.times.back() >= m_timing.tokenBlockMs);
    };
    // what is past is forgotten, so that many addresses trying once cost nothing lasting
    if (m_tokenFailures.size() > 64)
        std::erase_if(m_tokenFailures, [&](const auto& entry) { return forgotten(entry.second); });
    TokenFailures& failures = m_tokenFailures[peer];
    while (!failures.times.empty() && now - failures.times.front() >= m_timing.tokenBlockMs)
        failures.times.pop_front();
    failures.times.push_back(now);
    if (int(failures.times.size()) >= kMaxFailedTokens) {
        failures.times.clear();
        failures.blockedUntil = now + m_timing.tokenBlockMs;
    }
}

void FeedServer::pingWebSockets()
{
    const qint64 now = m_clock.elapsed();
    for (auto* clients : {&m_events, &m_program})
        for (QWebSocket* client : std::vector<QWebSocket*>(*clients)) {
            if (now - client->property("heard").toLongLong() > m_timing.silenceMs)
                client->abort();
            else
                client->ping();
        }
}

void FeedServer::dropFloodedClients()
{
    countOpen(m_upgraded);
    for (const QPointer<QTcpSocket>& socket : std::vector<QPointer<QTcpSocket>>(m_upgraded))
        if (socket && socket->bytesToWrite() > kMaxQueuedBytes)
            socket->abort();
}

QRect FeedServer::clientRect() const
{
    return QRect(0, 0, m_screen.clientWidth(), m_screen.clientHeight());
}

void FeedServer::elementChanged(El e, const QRect& before)
{
    const overlay::Element& element = m_screen.element(e);
    m_pictures.changed(overlay::isOperatorWidget(element.kind));
    if (!overlay::isOperatorWidget(element.kind))
        m_wholePicture.clear();
    if (m_events.empty() && m_program.empty())
        return;
    m_stateChanged = true;
    if (!m_program.empty() && !overlay::isOperatorWidget(element.kind)) {
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
    m_pictures.changed(false);
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
