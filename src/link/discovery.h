#pragma once

#include "base/config.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>

namespace quorvel::link {

// How a discovery run ended: whether an answer came, or the failure that ended it.
struct DiscoveryOutcome {
    bool answered = false;
    // Empty, or the "Socket Error # %d\r\n%s" text of a receive that failed.
    Text failure;
};

// UDPClient: the discovery socket. Created at its first use and kept for the life of the
// program, so every run sends from, and listens on, the port the system gave it at the
// first send (a stray answer that arrived between two runs is read by the next one).
class DiscoverySocket {
public:
    using Done = std::function<void(const DiscoveryOutcome&)>;

    explicit DiscoverySocket(const Config& config);
    ~DiscoverySocket();

    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    // Broadcasts "PING" and returns at once; the answers are read as events of the
    // thread's event loop, which goes on meanwhile. Each answer (any non-empty datagram,
    // whatever it holds and whoever sent it) earns a fresh wait; the run ends after a wait
    // without one, at an empty datagram, or at the bound that keeps a sender who never
    // stops from holding the overlay's retries for ever. Then `done` is called once, with
    // the outcome. Raises "Socket Error # %d\r\n%s" at once when the request cannot be
    // sent; a receive that fails or a datagram longer than the buffer ends the run with
    // that text as its failure. Not to be called while a run waits.
    void startRun(Done done);

    // Whether a run is waiting for answers.
    bool waiting() const { return bool(m_done); }

    // The local port the system gave the socket (0 before the first run).
    quint16 localPort() const;

private:
    void create();
    void setBroadcast(bool on);
    void setReceiveTimeout(int ms);
    [[noreturn]] void raise(int error);
    void readAnswers();
    void finish(const Text& failure = {});

    int m_fd = -1;
    Text m_broadcastAddress;
    quint16 m_port;
    int m_waitMs;
    int m_boundMs;

    std::unique_ptr<QSocketNotifier> m_readable;
    // The wait after the request or the last answer, and the bound counted from the request.
    QTimer m_wait;
    QTimer m_bound;
    QElapsedTimer m_sinceRequest;
    bool m_answered = false;
    Done m_done;
};

} // namespace quorvel::link
