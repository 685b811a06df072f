#include "ui/runtime.h"

#include <algorithm>
#include <utility>

#include "ui/form.h"

namespace quorvel::ui {

Runtime::Runtime(Platform& platform, std::string title) : platform_(platform), title_(std::move(title)) {}

Runtime::~Runtime() = default;

void Runtime::retire(std::unique_ptr<Form> form) {
    if (form) retired_.push_back(std::move(form));
    if (depth_ == 0) retired_.clear();
}

void Runtime::afterEvent(std::function<void()> work) {
    if (depth_ == 0) {
        guarded(work);
        return;
    }
    afterEvent_.push_back(std::move(work));
}

void Runtime::messageBox(const std::string& text) {
    const auto open = modal();
    platform_.messageBox(text, title_);
}

void Runtime::leaveEvent() {
    if (--depth_ != 0) return;
    retired_.clear();
    // Before the observers, so that what the work changes is published with the event.
    for (auto waiting = std::exchange(afterEvent_, {}); auto& work : waiting)
        if (!ended_) guarded(work);
    if (!std::exchange(changed_, false)) return;
    // By index: an observer may remove itself while told.
    guarded([this] {
        for (std::size_t i = 0; i < observers_.size(); ++i) observers_[i]->eventEnded();
    });
}

void Runtime::addObserver(RuntimeObserver& observer) { observers_.push_back(&observer); }

void Runtime::removeObserver(RuntimeObserver& observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), &observer), observers_.end());
}

void Runtime::formLoaded(Form& form) {
    noteChange();
    for (std::size_t i = 0; i < observers_.size(); ++i) observers_[i]->formLoaded(form);
}

void Runtime::quit(int exitCode) {
    if (ended_) return;
    ended_ = true;
    exitCode_ = exitCode;
    platform_.quit(exitCode);
}

void Runtime::fail(const std::string& message) {
    if (ended_) return;
    // Mark the end first: events that arrive while the message box is open are dropped.
    ended_ = true;
    exitCode_ = 1;
    messageBox(message);
    platform_.quit(1);
}

}  // namespace quorvel::ui
