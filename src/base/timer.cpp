#include "base/timer.h"

namespace quorvel {

Timer::Timer(const char* name, int intervalMs, QObject* parent)
    : QObject(parent)
    , m_name(name)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &Timer::fire);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_timer.isActive())
        return;
    if (enabled) {
        m_timer.start();
    } else {
        m_timer.stop();
        m_pending = false;
    }
}

void Timer::restart()
{
    m_timer.stop();
    m_pending = false;
    m_timer.start();
}

void Timer::setInterval(int ms)
{
    if (ms == m_timer.interval())
        return;
    // QTimer::setInterval restarts a running timer, which is the rule we want.
    m_timer.setInterval(ms);
}

void Timer::hold()
{
    m_held = true;
}

void Timer::release()
{
    m_held = false;
    // The held tick runs as an event of its own, never inside the caller.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_pending && !m_held && m_timer.isActive()) {
                m_pending = false;
                fire();
            }
        },
        Qt::QueuedConnection);
}

void Timer::fire()
{
    if (m_held) {
        m_pending = true;
        return;
    }
    if (m_onTick)
        m_onTick();
}

} // namespace quorvel
