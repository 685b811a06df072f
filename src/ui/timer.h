#pragma once
// A form's timer: ticks every `interval` milliseconds while enabled. An interval of 0
// never ticks. The platform keeps the schedule; the timer only tells it what changed.
#include <functional>
#include <string>

namespace quorvel::ui {

class Runtime;

class Timer {
public:
    Timer(Runtime& runtime, std::string name, int interval, bool enabled);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return name_; }
    Runtime& runtime() { return runtime_; }

    int interval() const { return interval_; }
    // Restarts the countdown, as every assignment does. Intervals run from 0 to 65535 ms.
    void setInterval(int milliseconds);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    // Ticking: enabled with a non-zero interval, and its form still loaded.
    bool armed() const { return enabled_ && interval_ > 0 && !stopped_; }

    // Free text that handlers keep with the timer (the pulse direction).
    std::string tag;

    std::function<void()> onTick;

    // Called by the platform when the interval has run out.
    void tick();
    // The form was unloaded: the timer never ticks again.
    void stop();

    static constexpr int kMaxInterval = 65535;

private:
    Runtime& runtime_;
    std::string name_;
    int interval_;
    bool enabled_;
    bool stopped_ = false;
};

}  // namespace quorvel::ui
