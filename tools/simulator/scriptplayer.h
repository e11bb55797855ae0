#pragma once

#include "script.h"

#include <QObject>
#include <QTimer>

namespace quorvel::sim {

class DiscoveryResponder;
class RaceServer;
class SimLog;

// Plays a race script step by step on the event loop, looping if asked.
class ScriptPlayer : public QObject {
    Q_OBJECT
public:
    ScriptPlayer(SimLog& log, RaceServer& server, DiscoveryResponder* responder, QObject* parent = nullptr);

    void play(std::vector<Step> steps, bool loop);
    // Plays every delay `factor` times faster (2: half the delays); 1 by default.
    void setSpeed(double factor) { m_speed = factor; }
    // Runs one step now (interactive mode), without its delay.
    void run(const Step& step);

signals:
    void quitRequested();

private:
    void next();
    void afterDelay();

    SimLog& m_log;
    RaceServer& m_server;
    DiscoveryResponder* m_responder;
    std::vector<Step> m_steps;
    size_t m_at = 0;
    bool m_loop = false;
    double m_speed = 1.0;
    bool m_waiting = false; // on !wait-connection
    bool m_waitingForFile = false; // on !wait-file, already logged
    QTimer m_delay;
};

} // namespace quorvel::sim
