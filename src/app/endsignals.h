#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

namespace quorvel::app {

class Application;

// SIGTERM and SIGINT (a service manager stopping the program, a logout, Ctrl+C) end the
// program as closing the overlay window does: they ask for the end, and the event loop
// ends at its next turn, so shutdown follows its usual order and the status is 0. A box
// waiting for OK is dismissed first. The handler only writes a byte to a pipe; the event
// loop (or the box's) reads it.
class EndOnSignals : public QObject {
public:
    explicit EndOnSignals(Application& app);
    ~EndOnSignals() override;
    EndOnSignals(const EndOnSignals&) = delete;
    EndOnSignals& operator=(const EndOnSignals&) = delete;

private:
    static void handle(int signal);

    Application& m_app;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldTerm { };
    struct sigaction m_oldInt { };
};

} // namespace quorvel::app
