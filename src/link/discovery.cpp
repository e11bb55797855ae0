#include "link/discovery.h"

#include "base/failure.h"
#include "base/systemtext.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::link {

DiscoverySocket::DiscoverySocket(const Config& config)
    : m_broadcastAddress(config.broadcastAddress)
    , m_port(config.discoveryPort)
    , m_waitMs(config.discoveryWaitMs)
    , m_boundMs(config.discoveryBoundMs)
{
}

DiscoverySocket::~DiscoverySocket()
{
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

bool DiscoverySocket::broadcastAndWait()
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

    QElapsedTimer sinceRequest;
    sinceRequest.start();
    bool answered = false;
    char buffer[kDiscoveryBufferBytes];
    for (;;) {
        const qint64 left = m_boundMs - sinceRequest.elapsed();
        if (left <= 0)
            break; // a sender that never stops must not hold the program
        setReceiveTimeout(static_cast<int>(qMin<qint64>(m_waitMs, left)));
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, MSG_TRUNC);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break; // a whole wait without an answer
            if (errno == EINTR)
                continue;
            raise(errno);
        }
        if (received > static_cast<ssize_t>(sizeof buffer))
            raise(EMSGSIZE);
        if (received == 0)
            break; // an empty datagram counts as no answer and ends the wait
        answered = true;
    }
    return answered;
}

} // namespace quorvel::link
