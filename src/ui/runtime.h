#pragma once
// Runs events one at a time, to completion. An uncaught quorvel::Error (or any other
// failure) ends the program: the message is shown in a message box and the program exits
// with code 1. Forms unloaded inside their own handlers are freed once the outermost event
// has completed.
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/error.h"
#include "ui/observer.h"
#include "ui/platform.h"

namespace quorvel::ui {

class Form;

// Adds one to a counter for as long as it lives: how many of something are under way.
template <class Counter>
class ScopedCount {
public:
    explicit ScopedCount(Counter& counter) : counter_(counter) { ++counter_; }
    ~ScopedCount() { --counter_; }
    ScopedCount(const ScopedCount&) = delete;
    ScopedCount& operator=(const ScopedCount&) = delete;

private:
    Counter& counter_;
};

class Runtime {
public:
    Runtime(Platform& platform, std::string title);
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    Platform& platform() const { return platform_; }
    // The program's title, used for message boxes.
    const std::string& title() const { return title_; }

    // Runs one event handler. Events arriving after the program has ended are dropped.
    template <class Handler>
    void dispatch(Handler&& handler) {
        if (ended_) return;
        ++depth_;
        guarded(handler);
        leaveEvent();
    }

    // Runs `work` once the outermost running event has completed, outside any event (at
    // once when no event runs): what a handler tells the operator waits until its work is
    // done, so a modal loop never interrupts a handler half way.
    void afterEvent(std::function<void()> work);

    // The modal message box, owned by the program's active window. While it is open
    // modalOpen() says so, to any thread: a remote request that waits names the reason.
    void messageBox(const std::string& text);
    // Marks a modal dialog of the program open for as long as it lives.
    [[nodiscard]] ScopedCount<std::atomic<int>> modal() { return ScopedCount(modals_); }
    bool modalOpen() const { return modals_.load() > 0; }

    // Keeps an unloaded form alive until the running event completes.
    void retire(std::unique_ptr<Form> form);

    // Observers of the forms' loading and of the end of each event that changed something.
    // An observer removes itself before it goes away.
    void addObserver(RuntimeObserver& observer);
    void removeObserver(RuntimeObserver& observer);
    // Something the observers may show changed: a form or a control property, a tag, a
    // timer. Called by forms, controls and timers.
    void noteChange() { changed_ = true; }
    // Called by a form when its window has been created.
    void formLoaded(Form& form);

    // Ends the program with the exit code (0 for a normal quit).
    void quit(int exitCode);
    bool ended() const { return ended_; }
    int exitCode() const { return exitCode_; }

private:
    // Runs `work`; a failure ends the program with its message.
    template <class Work>
    void guarded(Work&& work) {
        try {
            work();
        } catch (const Error& error) {
            fail(error.what());
        } catch (const std::exception& error) {
            fail(std::string("Unexpected failure: ") + error.what());
        }
    }
    void fail(const std::string& message);
    // Frees the retired forms once the outermost event has completed.
    void leaveEvent();

    Platform& platform_;
    std::string title_;
    int depth_ = 0;
    bool ended_ = false;
    int exitCode_ = 0;
    std::vector<std::unique_ptr<Form>> retired_;
    bool changed_ = false;
    std::vector<RuntimeObserver*> observers_;
    std::vector<std::function<void()>> afterEvent_;
    std::atomic<int> modals_{0};
};

}  // namespace quorvel::ui
