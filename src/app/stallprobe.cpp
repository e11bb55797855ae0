#include "app/stallprobe.h"

#include <ctime>

namespace quorvel::app {

std::unique_ptr<StallProbe> StallProbe::fromEnvironment()
{
    const QString path = qEnvironmentVariable("QUORVEL_STALL_PROBE");
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<StallProbe>(path);
}

StallProbe::StallProbe(const QString& path)
    : m_file(path)
{
    m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    m_clock.start();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kBeatMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { beat(); });
    m_timer.start();
}

namespace {

// Microseconds of processor time the calling thread has used.
qint64 threadMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

} // namespace

void StallProbe::beat()
{
    const qint64 now = m_clock.nsecsElapsed() / 1000; // microseconds
    const qint64 busy = threadMicroseconds();
    if (m_lastBeat > 0) {
        m_latest = qMax(m_latest, now - m_lastBeat - kBeatMs * 1000);
        m_busiest = qMax(m_busiest, busy - m_lastBusy);
    }
    m_lastBeat = now;
    m_lastBusy = busy;
    if (now - m_secondStart >= 1000000) {
        m_file.write(QByteArray::number(now / 1000) + ' ' + QByteArray::number(double(m_latest) / 1000.0, 'f', 1) +
                     ' ' + QByteArray::number(double(m_busiest) / 1000.0, 'f', 1) + '\n');
        m_file.flush();
        m_secondStart = now;
        m_latest = 0;
        m_busiest = 0;
    }
}

} // namespace quorvel::app
