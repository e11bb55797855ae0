#include "raceserver.h"

#include "base/failure.h"
#include "simlog.h"

#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <sys/socket.h>

namespace quorvel::sim {

namespace {

// How long an orderly close waits for the overlay to close its side.
constexpr int kCloseGraceMs = 5000;
constexpr qsizetype kSentLogBytes = 512;

Text peerOf(const QTcpSocket& socket)
{
    return socket.peerAddress().toString().toLatin1() + ':' + Text::number(socket.peerPort());
}

} // namespace

RaceServer::RaceServer(SimLog& log, QObject* parent)
    : QObject(parent)
    , m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RaceServer::accept);
}

void RaceServer::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server.listen(address, port))
        throw Failure("cannot listen on " + address.toString().toLatin1() + ':' + Text::number(port) + ": " +
                      m_server.errorString().toLatin1());
    m_log.line("listening tcp " + address.toString().toLatin1() + ':' + Text::number(m_server.serverPort()));
}

int RaceServer::connectedCount() const
{
    return static_cast<int>(
        std::count_if(m_clients.begin(), m_clients.end(), [](const Client& c) { return !c.closing; }));
}

void RaceServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_clients.push_back({socket, peerOf(*socket)});
        m_log.line("tcp connected " + m_clients.back().peer);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client* c = find(socket))
                m_log.bytes("tcp recv " + c->peer, socket->readAll());
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError)
                return; // the disconnected signal tells it
            if (Client* c = find(socket))
                m_log.line("tcp error " + c->peer + ' ' + socket->errorString().toLatin1());
            drop(socket);
        });
        emit connectionCountChanged();
    }
}

void RaceServer::drop(QTcpSocket* socket)
{
    Client* c = find(socket);
    if (!c)
        return;
    if (socket->bytesAvailable() > 0)
        m_log.bytes("tcp recv " + c->peer, socket->readAll());
    m_log.line("tcp closed " + c->peer);
    m_clients.erase(m_clients.begin() + (c - m_clients.data()));
    socket->deleteLater();
    emit connectionCountChanged();
}

RaceServer::Client* RaceServer::find(QTcpSocket* socket)
{
    auto it =
        std::find_if(m_clients.begin(), m_clients.end(), [socket](const Client& c) { return c.socket == socket; });
    return it == m_clients.end() ? nullptr : &*it;
}

void RaceServer::send(const Text& text)
{
    if (connectedCount() == 0) {
        m_log.bytes("tcp no overlay connected, not sent", text);
        return;
    }
    for (Client& c : m_clients) {
        if (c.closing)
            continue;
        c.socket->write(text);
        c.socket->flush();
        // A flood is logged by its size and its start; received text is always logged whole.
        if (text.size() > kSentLogBytes)
            m_log.bytes("tcp sent " + c.peer + ' ' + Text::number(text.size()) + " bytes, starting",
                        text.left(kSentLogBytes));
        else
            m_log.bytes("tcp sent " + c.peer, text);
    }
}

void RaceServer::closeAll()
{
    for (Client& c : m_clients) {
        if (c.closing)
            continue;
        c.closing = true;
        c.socket->flush();
        // Half-close only, so the overlay's farewell can still be received and logged.
        ::shutdown(static_cast<int>(c.socket->socketDescriptor()), SHUT_WR);
        m_log.line("tcp close sent " + c.peer);
        QTcpSocket* socket = c.socket;
        QTimer::singleShot(kCloseGraceMs, socket, [socket] { socket->abort(); });
    }
    emit connectionCountChanged();
}

void RaceServer::resetAll()
{
    for (Client& c : m_clients) {
        const linger noLinger{1, 0};
        ::setsockopt(static_cast<int>(c.socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
        m_log.line("tcp reset sent " + c.peer);
    }
    // abort() closes the descriptor; with SO_LINGER 0 the close is a reset.
    const auto clients = m_clients;
    m_clients.clear();
    for (const Client& c : clients) {
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
    emit connectionCountChanged();
}

} // namespace quorvel::sim
