#pragma once

#include "base/config.h"
#include "base/text.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>

struct in_addr;

namespace quorvel::link {

class LinkEvents;

enum class LinkState { Down, Connecting, Connected };

// S_Cliente: the overlay's one TCP connection to the timing server. A non-blocking IPv4
// client over POSIX sockets; name resolution, connect completion, data, close and errors
// come back as events of the Qt event loop and are reported to LinkEvents.
//
// It sends exactly two texts, itself: "Quorvel:Conectado" once a connection is up, and
// "VurazeZO:Desconectou" on a connection the server closes. Nothing else is ever sent.
//
// An attempt that has neither completed nor failed after connectTimeoutMs fails as a
// connect that timed out would (error 110), so that a host that swallows packets cannot
// hold the link "connecting" for the kernel's two minutes.
class TcpClient : public QObject {
    Q_OBJECT
public:
    TcpClient(LinkEvents& events, Text host = kInitialTcpHost, quint16 port = kTcpPort, QObject* parent = nullptr,
              int connectTimeoutMs = kTcpConnectTimeoutMs);
    // Closes silently: no handler runs and nothing is sent.
    ~TcpClient() override;

    // Used by the next attempt; an attempt in progress keeps its host.
    void setHost(const Text& host) { m_host = host; }
    const Text& host() const { return m_host; }
    quint16 port() const { return m_port; }

    LinkState state() const { return m_state; }

    // The connect request of the retry tick. Down: starts an attempt. Connecting: abandons
    // the attempt in progress (its outcome is never reported) and starts a new one.
    // Connected: nothing. Raises "Can't create new socket".
    void requestConnect();

    // Shutdown: closes whatever is open without any handler and without sending anything.
    void close();

    // While paused, received data waits in the socket; the read handler pauses reads while
    // it applies a chunk, so that a flood of data cannot nest read handlers without bound.
    void setReadPaused(bool paused);
    bool readPaused() const { return m_readPaused; }

    // The socket of the attempt or connection, or -1 (for tests that inspect its options).
    int socketDescriptor() const { return m_fd; }

private:
    void startConnect(const in_addr& address);
    void resolved(quint64 attempt, int lookupError, quint32 address);
    void writable();
    void connectDeadlinePassed();
    void readable();
    void connected();
    void serverClosed();
    void deliver(const Text& chunk);
    // An attempt failed or the connection broke: S_ClienteError, close, Down, report.
    void fail(int errorCode, const Text& message);
    // The same, later, as an event of its own (a failure found while an attempt starts).
    void failLater(int errorCode, const Text& message);
    // False when the connection broke; the failure has been handled then.
    bool sendText(const char* text);
    void closeSocket();
    void updateReadNotifier();
    // Runs a handler; what it raises goes to the failure route.
    void guarded(const std::function<void()>& handler);

    LinkEvents& m_events;
    Text m_host;
    quint16 m_port;
    LinkState m_state = LinkState::Down;
    int m_fd = -1;
    // Counts sockets: a late outcome of an abandoned or closed one is recognised and dropped.
    quint64 m_attempt = 0;
    int m_lookupId = -1;
    bool m_readPaused = false;
    QSocketNotifier m_readNotifier;
    QSocketNotifier m_writeNotifier;
    QTimer m_connectDeadline;
};

} // namespace quorvel::link
