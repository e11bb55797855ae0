#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <memory>

namespace quorvel::app {

// For the benchmarks: a short heartbeat on the window's thread that records how late it
// runs, so that whatever holds the thread shows as a late beat. Off unless the
// environment names a file in QUORVEL_STALL_PROBE; then every second one line goes to it:
// the milliseconds since the start, how late the latest beat of that second ran, and the
// most processor time the thread spent between two beats of it (in milliseconds). On a
// machine where other work takes the processors, a beat is late also while the thread
// waits for one; the processor time tells the program's own work apart.
class StallProbe {
public:
    static std::unique_ptr<StallProbe> fromEnvironment();

    explicit StallProbe(const QString& path);

private:
    void beat();

    static constexpr int kBeatMs = 5;
    QFile m_file;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastBeat = 0;
    qint64 m_secondStart = 0;
    qint64 m_latest = 0;
    qint64 m_lastBusy = 0;
    qint64 m_busiest = 0;
};

} // namespace quorvel::app
