#pragma once
// The armed timers of a program and when each is next due, for the backends, which run
// the ticks themselves: the headless one on its virtual clock, the Win32 one from one
// system timer. Times are milliseconds on the backend's clock. Among timers due at the
// same time, the one armed or ticked earlier comes first.
#include <optional>
#include <vector>

namespace quorvel::ui {

class Timer;

class TimerSchedule {
public:
    // The timer's countdown starts again at `now`; a timer that is not armed leaves the
    // schedule.
    void update(Timer& timer, long long now);
    void remove(Timer& timer);
    bool empty() const { return entries_.empty(); }
    // The earliest due time, or nothing when no timer is armed.
    std::optional<long long> nextDue() const;
    // The timer due first, if it is due at `limit` or before (nullptr otherwise), taken
    // for one tick: its next tick is due one interval later, or one interval after `now`
    // when it has fallen more than an interval behind (missed ticks are not made up).
    Timer* takeDue(long long limit, long long now);

private:
    struct Entry {
        Timer* timer;
        long long due;
        long long order;
    };
    std::vector<Entry> entries_;
    long long order_ = 0;
};

}  // namespace quorvel::ui
