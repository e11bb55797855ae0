#include "link/discovery.h"

#include "base/failure.h"
#include "base/systemtext.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quorvel::link {

DiscoverySocket::DiscoverySocket(const Config& config)
    : m_broadcastAddress(config.broadcastAddress)
    , m_port(config.discoveryPort)
    , m_waitMs(config.discoveryWaitMs)
    , m_boundMs(config.discoveryBoundMs)
{
    m_wait.setSingleShot(true);
    m_bound.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    m_bound.setTimerType(Qt::PreciseTimer);
    // An answer that came just before the wait ran out still counts: read what is there first.
    QObject::connect(&m_wait, &QTimer::timeout, [this] {
        readAnswers();
        if (!m_wait.isActive())
            finish();
    });
    QObject::connect(&m_bound, &QTimer::timeout, [this] { finish(); });
}

DiscoverySocket::~DiscoverySocket()
{
    m_readable.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void DiscoverySocket::raise(int error)
{
    throw Failure(format("Socket Error # %d\r\n%s", error, systemReason(error).constData()));
}

void DiscoverySocket::create()
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        raise(errno);
}

void DiscoverySocket::setBroadcast(bool on)
{
    const int value = on ? 1 : 0;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0)
        raise(errno);
}

void DiscoverySocket::setReceiveTimeout(int ms)
{
    timeval timeout{};
    timeout.tv_sec = ms / 1000;
    timeout.tv_usec = (ms % 1000) * 1000;
    if (timeout.tv_sec == 0 && timeout.tv_usec == 0)
        timeout.tv_usec = 1000; // zero would mean "wait for ever"
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        raise(errno);
}

quint16 DiscoverySocket::localPort() const
{
    if (m_fd < 0)
        return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

void DiscoverySocket::startRun(Done done)
{
    if (m_fd < 0)
        create();
    setReceiveTimeout(m_waitMs);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    if (::inet_pton(AF_INET, m_broadcastAddress.constData(), &to.sin_addr) != 1)
        raise(EINVAL);

    // Broadcasting is allowed only for the moment of the request.
    setBroadcast(true);
    const ssize_t sent = ::sendto(m_fd, kDiscoveryRequest, std::strlen(kDiscoveryRequest), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    const int sendError = errno;
    setBroadcast(false);
    if (sent < 0)
        raise(sendError);

    m_sinceRequest.start();
    m_answered = false;
    m_done = std::move(done);
    if (!m_readable) {
        m_readable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_readable.get(), &QSocketNotifier::activated, [this] { readAnswers(); });
    }
    m_wait.start(m_waitMs);
    m_bound.start(qMax(m_boundMs, 0));
    // A datagram that came between two runs is already waiting: it is read as an event too.
    m_readable->setEnabled(true);
}

// Reads every datagram waiting on the socket, without waiting for more.
void DiscoverySocket::readAnswers()
{
    char buffer[kDiscoveryBufferBytes];
    while (m_done) {
        if (m_sinceRequest.elapsed() >= m_boundMs) {
            finish(); // a sender that never stops must not hold the retries
            return;
        }
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, MSG_TRUNC | MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return; // nothing more for now: the wait goes on
            if (errno == EINTR)
                continue;
            const int error = errno;
            finish(format("Socket Error # %d\r\n%s", error, systemReason(error).constData()));
            return;
        }
        if (received > static_cast<ssize_t>(sizeof buffer)) {
            finish(format("Socket Error # %d\r\n%s", EMSGSIZE, systemReason(EMSGSIZE).constData()));
            return;
        }
        if (received == 0) {
            finish(); // an empty datagram counts as no answer and ends the wait
            return;
        }
        m_answered = true;
        m_wait.start(m_waitMs); // a fresh wait after every answer
    }
}

void DiscoverySocket::finish(const Text& failure)
{
    if (!m_done)
        return;
    m_wait.stop();
    m_bound.stop();
    if (m_readable)
        m_readable->setEnabled(false);
    DiscoveryOutcome outcome;
    outcome.answered = m_answered;
    outcome.failure = failure;
    // Taken out first: what the caller does next may start the next run.
    const Done done = std::exchange(m_done, {});
    done(outcome);
}

} // namespace quorvel::link
