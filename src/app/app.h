#pragma once
// The application object, the top of the program: it creates each window on first
// reference and knows them all. The windows see it as the program they share
// (program/program.h); the remote control and the backends' entry points drive it.
#include <memory>
#include <vector>

#include "program/program.h"

namespace quorvel::app {

class App final : public program::Program {
public:
    App(ui::Platform& platform, day::Release release);
    ~App() override;

    // Loads the start dialog (which reads every file) and shows it: the first window.
    void start();

    start::StartDialog& startDialog() override;
    bool startDialogLoaded() const override { return startDialog_ != nullptr; }
    void unloadStartDialog() override;

    table::ScoreTable& table() override;
    bool tableLoaded() const override { return table_ != nullptr; }
    void unloadTable() override;

    control::ControlMenu& controlMenu() override;
    bool controlMenuLoaded() const override { return controlMenu_ != nullptr; }
    void unloadControlMenu() override;

    void quit() override;
    void scheduleArrived() override;

private:
    // A box for each while the start dialog is in front (unless a remote action told
    // it), else a notice, on the control menu's line too.
    void deliverTold(std::vector<Told> told) override;

    std::unique_ptr<start::StartDialog> startDialog_;
    std::unique_ptr<table::ScoreTable> table_;
    std::unique_ptr<control::ControlMenu> controlMenu_;
};

}  // namespace quorvel::app
