#pragma once

#include "base/config.h"

#include <QElapsedTimer>

namespace quorvel::link {

// UDPClient: the discovery socket. Created at its first use and kept for the life of the
// program, so every run sends from, and listens on, the port the system gave it at the
// first send (a stray answer that arrived between two runs is read by the next one).
class DiscoverySocket {
public:
    explicit DiscoverySocket(const Config& config);
    ~DiscoverySocket();

    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // Broadcasts "PING" and waits for answers, blocking the thread: each answer (any
    // non-empty datagram, whatever it holds and whoever sent it) earns a fresh wait; the
    // run ends after a wait without one, at an empty datagram, or at the bound that keeps
    // a sender who never stops from holding the program for ever. Returns whether an
    // answer came. Raises "Socket Error # %d\r\n%s" when a send or a receive fails or a
    // datagram is longer than the buffer.
    bool broadcastAndWait();

    // The local port the system gave the socket (0 before the first run).
    quint16 localPort() const;

private:
    void create();
    void setBroadcast(bool on);
    void setReceiveTimeout(int ms);
    [[noreturn]] void raise(int error);

    int m_fd = -1;
    Text m_broadcastAddress;
    quint16 m_port;
    int m_waitMs;
    int m_boundMs;
};

} // namespace quorvel::link
