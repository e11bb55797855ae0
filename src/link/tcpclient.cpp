#include "link/tcpclient.h"

#include "base/failure.h"
#include "link/keepalive.h"
#include "link/linkevents.h"
#include "link/socketerror.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::link {

namespace {

int pendingSocketError(int fd)
{
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
        return errno;
    return err;
}

// Whether a connect in progress has an outcome (completed or failed) waiting to be read.
bool connectHasOutcome(int fd)
{
    pollfd p{fd, POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLOUT | POLLERR | POLLHUP));
}

Text lookupFailure(int code)
{
    return socketCallError(fromLocaleText(::hstrerror(code)), code, "ASync Lookup");
}

} // namespace

TcpClient::TcpClient(LinkEvents& events, Text host, quint16 port, QObject* parent, int connectTimeoutMs)
    : QObject(parent)
    , m_events(events)
    , m_host(std::move(host))
    , m_port(port)
    , m_readNotifier(QSocketNotifier::Read)
    , m_writeNotifier(QSocketNotifier::Write)
{
    connect(&m_readNotifier, &QSocketNotifier::activated, this, [this](QSocketDescriptor socket) {
        if (QSocketDescriptor::DescriptorType(socket) == m_fd)
            readable();
    });
    connect(&m_writeNotifier, &QSocketNotifier::activated, this, [this](QSocketDescriptor socket) {
        if (QSocketDescriptor::DescriptorType(socket) == m_fd)
            writable();
    });
    m_connectDeadline.setSingleShot(true);
    // a coarse timer may end the attempt up to 5 % early: the deadline is the deadline
    m_connectDeadline.setTimerType(Qt::PreciseTimer);
    m_connectDeadline.setInterval(connectTimeoutMs);
    connect(&m_connectDeadline, &QTimer::timeout, this, [this] { connectDeadlinePassed(); });
}

TcpClient::~TcpClient()
{
    close();
}

void TcpClient::requestConnect()
{
    if (m_state == LinkState::Connected)
        return;
    if (m_state == LinkState::Connecting)
        closeSocket(); // abandoned: its outcome must never reach the form
    m_state = LinkState::Down;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw Failure(kCantCreateSocket);
    m_fd = fd;
    ++m_attempt;
    m_state = LinkState::Connecting;
    m_connectDeadline.start(); // the name lookup included
    m_readNotifier.setSocket(fd);
    m_writeNotifier.setSocket(fd);

    if (int err = switchKeepAliveOn(fd)) {
        failLater(err, socketCallError(err, "setsockopt"));
        return;
    }

    in_addr address{};
    if (::inet_pton(AF_INET, m_host.constData(), &address) == 1) {
        startConnect(address);
        return;
    }
    const quint64 attempt = m_attempt;
    m_lookupId = QHostInfo::lookupHost(QString::fromLatin1(m_host), this, [this, attempt](const QHostInfo& info) {
        if (info.error() != QHostInfo::NoError) {
            resolved(attempt, HOST_NOT_FOUND, 0);
            return;
        }
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                resolved(attempt, 0, a.toIPv4Address());
                return;
            }
        }
        resolved(attempt, NO_DATA, 0);
    });
}

void TcpClient::resolved(quint64 attempt, int lookupError, quint32 address)
{
    if (attempt != m_attempt || m_state != LinkState::Connecting)
        return;
    m_lookupId = -1;
    if (lookupError) {
        fail(lookupError, lookupFailure(lookupError));
        return;
    }
    in_addr in{};
    in.s_addr = htonl(address);
    startConnect(in);
}

void TcpClient::startConnect(const in_addr& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr = address;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0 && errno != EINPROGRESS) {
        const int err = errno;
        failLater(err, socketCallError(err, "connect"));
        return;
    }
    // Completion, refusal or time-out all show as the socket becoming writable.
    m_writeNotifier.setEnabled(true);
}

void TcpClient::writable()
{
    if (m_state != LinkState::Connecting)
        return;
    m_connectDeadline.stop();
    m_writeNotifier.setEnabled(false);
    if (int err = pendingSocketError(m_fd)) {
        fail(err, asyncSocketError(err));
        return;
    }
    connected();
}

void TcpClient::connectDeadlinePassed()
{
    if (m_state != LinkState::Connecting || m_fd < 0)
        return;
    // While the thread was busy the connect may have come to an end of its own: that
    // outcome, not the deadline, is the attempt's.
    if (m_writeNotifier.isEnabled() && connectHasOutcome(m_fd)) {
        writable();
        return;
    }
    fail(ETIMEDOUT, asyncSocketError(ETIMEDOUT));
}

void TcpClient::connected()
{
    m_state = LinkState::Connected;
    // A failed announcement is an error on the established connection; the connect handler
    // then never runs, so the retry timer it would stop stays armed.
    if (!sendText(kAnnounceText))
        return;
    const quint64 attempt = m_attempt;
    guarded([this] { m_events.onConnect(); });
    if (attempt == m_attempt)
        updateReadNotifier();
}

void TcpClient::readable()
{
    if (m_state != LinkState::Connected)
        return;
    int available = 0;
    if (::ioctl(m_fd, FIONREAD, &available) < 0) {
        const int err = errno;
        fail(err, socketCallError(err, "ioctlsocket"));
        return;
    }
    if (available > 0) {
        Text chunk(available, Qt::Uninitialized);
        const ssize_t got = ::recv(m_fd, chunk.data(), static_cast<size_t>(available), 0);
        if (got < 0) {
            const int err = errno;
            if (err != EAGAIN && err != EWOULDBLOCK)
                fail(err, socketCallError(err, "recv"));
            return;
        }
        chunk.truncate(got);
        deliver(chunk);
        return;
    }
    // Nothing to read: the server closed, the connection broke, or the wake-up was spurious.
    if (int err = pendingSocketError(m_fd)) {
        fail(err, asyncSocketError(err));
        return;
    }
    char probe;
    const ssize_t peeked = ::recv(m_fd, &probe, 1, MSG_PEEK);
    if (peeked == 0) {
        serverClosed();
    } else if (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        const int err = errno;
        fail(err, socketCallError(err, "recv"));
    }
    // peeked > 0: data came in meanwhile; the next read event takes it.
}

void TcpClient::deliver(const Text& chunk)
{
    guarded([this, &chunk] { m_events.onRead(chunk); });
}

void TcpClient::serverClosed()
{
    m_state = LinkState::Down;
    m_readNotifier.setEnabled(false); // the disconnect handling runs once per connection
    const quint64 attempt = m_attempt;
    guarded([this] { m_events.onDisconnect(); });
    if (attempt != m_attempt)
        return; // the handler closed the socket itself
    if (sendText(kFarewellText))
        closeSocket();
}

void TcpClient::fail(int errorCode, const Text& message)
{
    const quint64 attempt = m_attempt;
    guarded([this, errorCode] { m_events.onError(errorCode); });
    if (attempt == m_attempt) {
        closeSocket();
        m_state = LinkState::Down;
    }
    guarded([this, &message] { m_events.onFailure(message); });
}

void TcpClient::failLater(int errorCode, const Text& message)
{
    const quint64 attempt = m_attempt;
    QTimer::singleShot(0, this, [this, attempt, errorCode, message] {
        if (attempt == m_attempt && m_fd >= 0)
            fail(errorCode, message);
    });
}

bool TcpClient::sendText(const char* text)
{
    if (m_fd < 0)
        return true;
    const size_t length = std::strlen(text);
    // One send, never queued: what the socket does not take at once is dropped.
    if (::send(m_fd, text, length, MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        const int err = errno;
        if (err != EAGAIN && err != EWOULDBLOCK) {
            fail(err, socketCallError(err, "send"));
            return false;
        }
    }
    return true;
}

void TcpClient::close()
{
    closeSocket();
    m_state = LinkState::Down;
}

void TcpClient::setReadPaused(bool paused)
{
    m_readPaused = paused;
    updateReadNotifier();
}

void TcpClient::closeSocket()
{
    m_connectDeadline.stop();
    m_readNotifier.setEnabled(false);
    m_writeNotifier.setEnabled(false);
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    ++m_attempt;
}

void TcpClient::updateReadNotifier()
{
    m_readNotifier.setEnabled(m_state == LinkState::Connected && m_fd >= 0 && !m_readPaused);
}

void TcpClient::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        try {
            m_events.onFailure(messageOf(e));
        } catch (const std::exception&) {
            // The failure route itself failed; nothing is left to tell.
        }
    }
}

} // namespace quorvel::link
