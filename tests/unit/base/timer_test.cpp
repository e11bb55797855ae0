#include "base/timer.h"

#include "wait.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

using quorvel::Timer;

namespace {

// Records when each tick came, in ms since the fixture started.
struct TickLog {
    QElapsedTimer clock;
    std::vector<qint64> ticks;

    TickLog() { clock.start(); }
    void attach(Timer& timer)
    {
        timer.setOnTick([this] { ticks.push_back(clock.elapsed()); });
    }
};

// The timers are precise, so a tick never comes before its interval is over; it may come
// late on a busy machine. The checks below use only the first fact: a count that was
// restarted cannot tick before the restart plus a whole interval, whatever the load.
constexpr int kInterval = 2000;

} // namespace

TEST(Timer, EnablingAnEnabledTimerKeepsItsCount)
{
    Timer timer("t", kInterval);
    TickLog log;
    log.attach(timer);
    timer.start();
    runEventsFor(kInterval / 4);
    const qint64 secondStartAt = log.clock.elapsed();
    ASSERT_TRUE(log.ticks.empty()) << "the machine stalled for a whole interval";
    timer.start(); // must not restart the count
    ASSERT_TRUE(waitUntil([&] { return !log.ticks.empty(); }, 10000));
    EXPECT_LT(log.ticks.front(), secondStartAt + kInterval) << "the second start restarted the count";
}

TEST(Timer, EnablingAStoppedTimerStartsAFreshCount)
{
    Timer timer("t", kInterval);
    TickLog log;
    log.attach(timer);
    timer.start();
    runEventsFor(kInterval / 2);
    timer.stop();
    ASSERT_TRUE(log.ticks.empty()) << "the machine stalled for a whole interval";
    const qint64 restartedAt = log.clock.elapsed();
    timer.start();
    ASSERT_TRUE(waitUntil([&] { return !log.ticks.empty(); }, 10000));
    EXPECT_GE(log.ticks.front(), restartedAt + kInterval);
}

TEST(Timer, ChangingTheIntervalRestartsOnlyWhenItReallyChanges)
{
    Timer same("same", kInterval);
    Timer changed("changed", kInterval);
    TickLog sameLog, changedLog;
    sameLog.attach(same);
    changedLog.attach(changed);
    same.start();
    changed.start();
    runEventsFor(kInterval / 2);
    ASSERT_TRUE(sameLog.ticks.empty() && changedLog.ticks.empty()) << "the machine stalled for a whole interval";
    const qint64 changedAt = sameLog.clock.elapsed();
    same.setInterval(kInterval);
    changed.setInterval(kInterval + 1);
    ASSERT_TRUE(waitUntil([&] { return !sameLog.ticks.empty() && !changedLog.ticks.empty(); }, 10000));
    EXPECT_LT(sameLog.ticks.front(), changedAt + kInterval) << "an unchanged interval restarted the count";
    EXPECT_GE(changedLog.ticks.front(), changedAt + kInterval + 1);
}

TEST(Timer, TicksThatFellDueWhileBusyComeOnce)
{
    Timer timer("t", 20);
    int ticks = 0;
    timer.setOnTick([&] { ++ticks; });
    timer.start();
    QThread::msleep(300); // the thread is busy through many intervals
    runEventsFor(15);
    EXPECT_EQ(ticks, 1);
}

TEST(Timer, AHeldTimerDeliversItsPendingTickOnceAfterRelease)
{
    Timer timer("t", 400);
    int ticks = 0;
    timer.setOnTick([&] { ++ticks; });
    timer.hold();
    timer.start();
    runEventsFor(500); // one tick fell due, the next is 300 ms away
    EXPECT_EQ(ticks, 0);
    timer.release();
    EXPECT_EQ(ticks, 0) << "the held tick must run as an event of its own";
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 1);
}

TEST(Timer, AStoppedTimerDropsItsHeldTick)
{
    Timer timer("t", 20);
    int ticks = 0;
    timer.setOnTick([&] { ++ticks; });
    timer.hold();
    timer.start();
    runEventsFor(60);
    timer.stop();
    timer.release();
    runEventsFor(10);
    EXPECT_EQ(ticks, 0);
}
