#include "app/app.h"

#include <utility>

#include "control/control_menu.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::app {

App::App(ui::Platform& platform, Release release)
    : runtime_(platform, productTitle(release)),
      release_(release),
      day_(platform, platform.programFolder() + "\\Results.csv") {}

App::~App() {
    // Free the windows while the runtime and the platform still stand.
    startDialog_.reset();
    controlMenu_.reset();
    table_.reset();
}

void App::start() {
    runtime_.dispatch([this] { startDialog().show(); });
}

void App::tell(const std::string& text, std::string file, std::size_t line) {
    if (!isCurrent(release_)) {
        runtime_.messageBox(text);
        return;
    }
    if (!notices_.firstTelling(text)) return;
    ui::Platform& os = platform();
    Notice notice{text, std::move(file), line, isoLocalTime(os.wallClockSeconds(), os.localTimeOffsetMinutes())};
    told_.push_back({std::move(notice), remoteActions_ > 0});
    if (told_.size() == 1) runtime_.afterEvent([this] { deliverTold(); });
}

void App::deliverTold() {
    const bool dialogInFront = startDialogLoaded() && startDialog().visible();
    std::vector<std::string> boxes;
    for (Told& told : std::exchange(told_, {})) {
        if (dialogInFront && !told.fromRemote)
            boxes.push_back(std::move(told.notice.text));
        else
            notices_.add(std::move(told.notice));
    }
    runtime_.noteChange();
    if (controlMenuLoaded()) controlMenu().showNotice();
    for (const std::string& text : boxes) runtime_.messageBox(text);
}

std::string App::path(std::string_view name) { return platform().programFolder() + std::string(name); }

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
void App::unloadStartDialog() { unload(startDialog_, runtime_); }

table::ScoreTable& App::table() { return reference(table_, *this); }
void App::unloadTable() { unload(table_, runtime_); }

control::ControlMenu& App::controlMenu() { return reference(controlMenu_, *this); }
void App::unloadControlMenu() { unload(controlMenu_, runtime_); }

void App::quit() {
    unloadStartDialog();
    unloadTable();
    unloadControlMenu();
    runtime_.quit(0);
}

}  // namespace quorvel::app
