#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace quorvel {

// A repeating timer with the system's own rules, over QTimer:
// - enabling an enabled timer does not restart its count (QTimer::start() would);
// - enabling a stopped one starts a fresh count;
// - changing the interval of a running timer to another value restarts its count;
// - a timer that falls due several times while the thread is busy ticks once.
// A held timer keeps counting but keeps its tick back until it is released; a tick that
// fell due meanwhile is delivered once on release (used at start-up, so that no tick runs
// before the window has been painted).
class Timer : public QObject {
public:
    explicit Timer(const char* name, int intervalMs, QObject* parent = nullptr);

    const char* name() const { return m_name; }

    void setOnTick(std::function<void()> handler) { m_onTick = std::move(handler); }

    bool enabled() const { return m_timer.isActive(); }
    void setEnabled(bool enabled);
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }
    // Stop, then start: a fresh count even while running.
    void restart();

    int interval() const { return m_timer.interval(); }
    void setInterval(int ms);

    void hold();
    void release();

private:
    void fire();

    const char* m_name;
    QTimer m_timer;
    std::function<void()> m_onTick;
    bool m_held = false;
    bool m_pending = false;
};

} // namespace quorvel
