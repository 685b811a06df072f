#include "ui/timer_schedule.h"

#include <algorithm>

#include "ui/timer.h"

namespace quorvel::ui {

void TimerSchedule::update(Timer& timer, long long now) {
    remove(timer);
    if (timer.armed()) entries_.push_back({&timer, now + timer.interval(), order_++});
}

void TimerSchedule::remove(Timer& timer) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.timer == &timer; }),
                   entries_.end());
}

std::optional<long long> TimerSchedule::nextDue() const {
    if (entries_.empty()) return std::nullopt;
    return std::min_element(entries_.begin(), entries_.end(),
                            [](const Entry& a, const Entry& b) { return a.due < b.due; })
        ->due;
}

Timer* TimerSchedule::takeDue(long long limit, long long now) {
    const auto next = std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    if (next == entries_.end() || next->due > limit) return nullptr;
    const long long interval = next->timer->interval();
    next->due = next->due + interval > now ? next->due + interval : now + interval;
    next->order = order_++;
    return next->timer;
}

}  // namespace quorvel::ui
