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

} // namespace

TEST(Timer, EnablingAnEnabledTimerKeepsItsCount)
{
    Timer timer("t", 300);
    TickLog log;
    log.attach(timer);
    timer.start();
    runEventsFor(150);
    timer.start(); // must not restart the count
    ASSERT_TRUE(waitUntil([&] { return !log.ticks.empty(); }, 2000));
    EXPECT_LT(log.ticks.front(), 400) << "the second start restarted the count";
}

TEST(Timer, EnablingAStoppedTimerStartsAFreshCount)
{
    Timer timer("t", 300);
    TickLog log;
    log.attach(timer);
    timer.start();
    runEventsFor(200);
    timer.stop();
    timer.start();
    const qint64 restartedAt = log.clock.elapsed();
    ASSERT_TRUE(waitUntil([&] { return !log.ticks.empty(); }, 2000));
    EXPECT_GE(log.ticks.front(), restartedAt + 290);
}

TEST(Timer, ChangingTheIntervalRestartsOnlyWhenItReallyChanges)
{
    Timer same("same", 300);
    Timer changed("changed", 300);
    TickLog sameLog, changedLog;
    sameLog.attach(same);
    changedLog.attach(changed);
    same.start();
    changed.start();
    runEventsFor(200);
    same.setInterval(300);
    changed.setInterval(301);
    ASSERT_TRUE(waitUntil([&] { return !sameLog.ticks.empty() && !changedLog.ticks.empty(); }, 2000));
    EXPECT_LT(sameLog.ticks.front(), 400);
    EXPECT_GE(changedLog.ticks.front(), 480);
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
    Timer timer("t", 100);
    int ticks = 0;
    timer.setOnTick([&] { ++ticks; });
    timer.hold();
    timer.start();
    runEventsFor(150); // one tick fell due, the next is 50 ms away
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
