// The timer schedule both backends run their timers from: the order of ticks, a late
// heartbeat, and timers that change while they are scheduled.
#include "ui/timer_schedule.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "ui/runtime.h"
#include "ui/timer.h"

namespace quorvel::ui {
namespace {

class TimerScheduleTest : public ::testing::Test {
protected:
    sim::SimPlatform platform{"/nonexistent"};
    Runtime runtime{platform, "Test"};
    TimerSchedule schedule;
};

TEST_F(TimerScheduleTest, TimersDueTogetherTickInTheOrderTheyWereArmedAndEachOnceAHeartbeat) {
    Timer poll(runtime, "poll", 10, true);
    Timer pulse(runtime, "pulse", 20, true);
    schedule.update(pulse, 0);
    schedule.update(poll, 10);
    EXPECT_EQ(schedule.nextDue(), 20);
    EXPECT_EQ(schedule.takeDue(20, 20), &pulse);
    EXPECT_EQ(schedule.takeDue(20, 20), &poll);
    EXPECT_EQ(schedule.takeDue(20, 20), nullptr) << "each ticks once at a heartbeat";
    EXPECT_EQ(schedule.nextDue(), 30);
}

TEST_F(TimerScheduleTest, AHeartbeatALittleEarlyRunsTheTickDueAndKeepsItsPhase) {
    Timer poll(runtime, "poll", 10, true);
    schedule.update(poll, 0);
    EXPECT_EQ(schedule.takeDue(9 + 2, 9), &poll) << "due at 10, the heartbeat came at 9";
    EXPECT_EQ(schedule.nextDue(), 20);
}

TEST_F(TimerScheduleTest, ATimerFarBehindTicksOnceAndMakesUpNoMissedTick) {
    Timer guard(runtime, "guard", 600, true);
    Timer poll(runtime, "poll", 10, true);
    schedule.update(guard, 0);
    schedule.update(poll, 0);
    // A modal box held the program for a second.
    EXPECT_EQ(schedule.takeDue(1000, 1000), &poll);
    EXPECT_EQ(schedule.takeDue(1000, 1000), &guard);
    EXPECT_EQ(schedule.takeDue(1000, 1000), nullptr);
    EXPECT_EQ(schedule.nextDue(), 1010);
    EXPECT_EQ(schedule.takeDue(1010, 1010), &poll);
    EXPECT_EQ(schedule.takeDue(1600, 1600), &poll) << "the guard's next tick is 600 ms after the late one";
    EXPECT_EQ(schedule.takeDue(1600, 1600), &guard);
}

TEST_F(TimerScheduleTest, ATimerTurnedOffOrEmptiedLeavesAndAChangedIntervalCountsFromTheChange) {
    Timer pulse(runtime, "pulse", 20, true);
    schedule.update(pulse, 0);
    pulse.setInterval(0);
    schedule.update(pulse, 5);
    EXPECT_TRUE(schedule.empty());
    pulse.setInterval(14);
    schedule.update(pulse, 7);
    EXPECT_EQ(schedule.nextDue(), 21);
    pulse.setEnabled(false);
    schedule.update(pulse, 8);
    EXPECT_EQ(schedule.nextDue(), std::nullopt);
    pulse.setEnabled(true);
    schedule.update(pulse, 9);
    schedule.remove(pulse);
    EXPECT_TRUE(schedule.empty());
}

}  // namespace
}  // namespace quorvel::ui
