#include "app/app.h"

#include <utility>

#include "control/control_menu.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::app {

App::App(ui::Platform& platform, day::Release release) : Program(platform, release) {}

App::~App() {
    // Free the windows while the runtime and the platform still stand.
    startDialog_.reset();
    controlMenu_.reset();
    table_.reset();
}

void App::start() {
    runtime().dispatch([this] { startDialog().show(); });
}

void App::deliverTold(std::vector<Told> told) {
    const bool dialogInFront = startDialogLoaded() && startDialog().visible();
    std::vector<std::string> boxes;
    for (Told& each : told) {
        if (dialogInFront && !each.fromRemote)
            boxes.push_back(std::move(each.notice.text));
        else
            notices().add(std::move(each.notice));
    }
    runtime().noteChange();
    if (controlMenuLoaded()) controlMenu().showNotice();
    for (const std::string& text : boxes) runtime().messageBox(text);
}

namespace {

// Creates the window on first reference: registered first, then loaded.
template <class FormType>
FormType& reference(std::unique_ptr<FormType>& slot, App& app) {
    if (!slot) {
        slot = std::make_unique<FormType>(app);
        slot->load();
    }
    return *slot;
}

template <class FormType>
void unload(std::unique_ptr<FormType>& slot, ui::Runtime& runtime) {
    if (!slot) return;
    slot->closeWindow();
    runtime.retire(std::move(slot));
}

}  // namespace

start::StartDialog& App::startDialog() { return reference(startDialog_, *this); }
void App::unloadStartDialog() { unload(startDialog_, runtime()); }

table::ScoreTable& App::table() { return reference(table_, *this); }
void App::unloadTable() { unload(table_, runtime()); }

control::ControlMenu& App::controlMenu() { return reference(controlMenu_, *this); }
void App::unloadControlMenu() { unload(controlMenu_, runtime()); }

void App::scheduleArrived() {
    if (startDialogLoaded() && startDialog().visible()) startDialog().scheduleChanged();
}

void App::quit() {
    unloadStartDialog();
    unloadTable();
    unloadControlMenu();
    runtime().quit(0);
}

}  // namespace quorvel::app
