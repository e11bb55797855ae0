#include "feed/requestrouter.h"

#include "feed/httprequest.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>

namespace quorvel::feed {

namespace {

QByteArray resource(const char* name)
{
    QFile file(QLatin1String(":/feed/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

RequestRouter::RequestRouter(Connections& connections, PictureCache& pictures, std::function<QJsonObject()> state,
                             QObject* parent)
    : QObject(parent)
    , m_connections(connections)
    , m_pictures(pictures)
    , m_state(std::move(state))
{
    m_clock.start();
}

void RequestRouter::route(QTcpSocket* socket, const RequestHead& head)
{
    // Without a token only this computer's own pages may read the feed: a page of another
    // site whose name was made to point here still names that site in Host. With one, the
    // crew may reach the computer by any name; the token guards it.
    const bool hostAccepted =
        head.hosts == 1 && !head.host.isEmpty() && (!m_settings.token.isEmpty() || isLoopbackHost(head.host));
    if (!hostAccepted) {
        m_connections.refuse(socket, "421 Misdirected Request");
        return;
    }
    if (!m_settings.token.isEmpty()) {
        // Tokens are not to be guessed: an address that keeps giving wrong ones is not
        // listened to for a while, whatever it gives.
        const QString peer = socket->peerAddress().toString();
        if (tokenBlocked(peer)) {
            m_connections.refuse(
                socket, "429 Too Many Requests",
                QByteArray("Retry-After: " + QByteArray::number((m_timing.tokenBlockMs + 999) / 1000) + "\r\n")
                    .constData());
            return;
        }
        if (!tokenMatches(head.bearer, m_settings.token) && !tokenMatches(head.queryToken, m_settings.token)) {
            tokenFailed(peer);
            m_connections.refuse(socket, "401 Unauthorized", "WWW-Authenticate: Bearer\r\n");
            return;
        }
    }
    if (head.method != "GET") {
        m_connections.refuse(socket, "405 Method Not Allowed", "Allow: GET\r\n");
        return;
    }
    const QByteArray& path = head.path;
    const bool webSocket = path == "/events" || (path == "/program" && head.webSocket);
    const bool known = webSocket || path == "/" || path == "/program" || path == "/state" || path == "/program.png" ||
        path == "/strip.png" || path == "/window.png";
    if (!known) {
        m_connections.refuse(socket, "404 Not Found");
        return;
    }
    if (webSocket && !head.webSocket) {
        m_connections.refuse(socket, "426 Upgrade Required", "Upgrade: websocket\r\n");
        return;
    }
    // A browser says which page opens a WebSocket, and lets any page open one: only the
    // feed's own pages, or a client that is no page, may.
    if (webSocket && (head.origins > 1 || (head.origins == 1 && !originIsHost(head.origin, head.host)))) {
        m_connections.refuse(socket, "403 Forbidden");
        return;
    }
    if (!m_connections.admit(socket))
        return;
    if (webSocket) {
        m_connections.upgrade(socket);
        return;
    }
    if (path == "/")
        m_connections.reply(socket, "200 OK", "text/html; charset=utf-8", resource("status.html"));
    else if (path == "/program")
        m_connections.reply(socket, "200 OK", "text/html; charset=utf-8", resource("program.html"));
    else if (path == "/state")
        m_connections.reply(socket, "200 OK", "application/json",
                            QJsonDocument(m_state()).toJson(QJsonDocument::Compact));
    else if (path == "/program.png")
        servePicture(socket, PictureCache::Kind::Program);
    else if (path == "/strip.png")
        servePicture(socket, PictureCache::Kind::Strip);
    else if (path == "/window.png")
        servePicture(socket, PictureCache::Kind::Window);
}

void RequestRouter::servePicture(QTcpSocket* socket, PictureCache::Kind kind)
{
    m_connections.awaitAnswer(socket);
    const QString peer = socket->peerAddress().toString();
    m_pictureQueues[peer].push_back({socket, kind});
    // The next one's turn comes when this connection is gone: its answer taken, or cut.
    connect(socket, &QObject::destroyed, this, [this, peer](QObject* gone) { nextPicture(peer, gone); });
    nextPicture(peer, nullptr);
}

void RequestRouter::nextPicture(const QString& peer, QObject* gone)
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
    m_pictures.request(first.kind, socket, [this, socket](const QByteArray& png) {
        // a client that went while its picture was made is not written to
        if (socket->state() == QAbstractSocket::ConnectedState)
            m_connections.reply(socket, "200 OK", "image/png", png);
    });
}

bool RequestRouter::tokenBlocked(const QString& peer)
{
    const auto found = m_tokenFailures.find(peer);
    return found != m_tokenFailures.end() && m_clock.elapsed() < found->second.blockedUntil;
}

void RequestRouter::tokenFailed(const QString& peer)
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

} // namespace quorvel::feed
