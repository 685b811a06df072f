#include "ui/timer.h"

#include <utility>

#include "ui/error.h"
#include "ui/runtime.h"

namespace quorvel::ui {

Timer::Timer(Runtime& runtime, std::string name, int interval, bool enabled)
    : runtime_(runtime), name_(std::move(name)), interval_(interval), enabled_(enabled) {
    if (armed()) runtime_.platform().timerChanged(*this);
}

Timer::~Timer() { runtime_.platform().timerDestroyed(*this); }

void Timer::setInterval(int milliseconds) {
    if (milliseconds < 0 || milliseconds > kMaxInterval)
        throw Error("Timer " + name_ + ": the interval " + std::to_string(milliseconds) +
                    " ms is outside 0 to " + std::to_string(kMaxInterval));
    // Setting the interval starts the timer's count again even when it stays the same.
    if (std::exchange(interval_, milliseconds) != milliseconds) runtime_.noteChange();
    runtime_.platform().timerChanged(*this);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    runtime_.noteChange();
    runtime_.platform().timerChanged(*this);
}

void Timer::tick() {
    if (armed() && onTick) onTick();
}

void Timer::stop() {
    if (stopped_) return;
    stopped_ = true;
    runtime_.noteChange();
    runtime_.platform().timerChanged(*this);
}

}  // namespace quorvel::ui
