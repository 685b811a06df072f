#include "app/app.h"

#include <functional>
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

void App::readDayFiles(bool changedOnly) {
    const bool roster = changedSince(path("\\Players.csv"), rosterText_);
    const bool schedule = changedSince(path("\\Matches.csv"), scheduleText_);
    if (roster || !changedOnly) readRosterFile();
    if (schedule || !changedOnly) readScheduleFile();
}

bool App::changedSince(const std::string& file, std::optional<std::size_t>& seen) {
    std::size_t now = 0;  // no file
    if (platform().fileExists(file)) {
        try {
            const std::string text = platform().readFile(file);
            now = std::hash<std::string>{}(text) | 1;
        } catch (const Error&) {
            now = 2;  // read when asked, and told then
        }
    }
    const bool changed = seen != now;
    seen = now;
    return changed;
}

void App::tellFileFault(const Error& error, const std::string& goesOnWith) {
    tell(std::string(error.what()) + "\n\nThe program goes on " + goesOnWith +
             ". Put the file right: it is read again at the next match and at the start dialog.",
         error.file(), error.line());
}

void App::readRosterFile() {
    const std::string file = path("\\Players.csv");
    if (!platform().fileExists(file)) {
        setRoster({});
        return;
    }
    // The country files are the program's own and keep their rules; the roster is the
    // operator's, edited during an event: a fault in it is told, and the show goes on.
    const auto countries = readRosterCountries(platform(), languages(), platform().programFolder());
    try {
        setRoster(readRoster(platform(), file, countries));
    } catch (const Error& error) {
        const std::size_t kept = roster().players().size();
        tellFileFault(error, kept == 0 ? std::string("without a roster")
                                       : "with the roster as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " player)" : " players)"));
    }
}

void App::readScheduleFile() {
    // Like the roster, a broken schedule is told and the day goes on with the schedule as
    // last read.
    std::vector<ScheduledMatch> matches;
    try {
        char separator = ',';
        matches = readSchedule(platform(), path("\\Matches.csv"), &separator);
        day_.setScheduleSeparator(separator);
    } catch (const Error& error) {
        const std::size_t kept = day_.matches().size();
        tellFileFault(error, kept == 0 ? std::string("without a schedule")
                                       : "with the schedule as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " match)" : " matches)"));
        matches = day_.matches();
    }
    const std::string damaged = day_.load(std::move(matches));
    if (!damaged.empty()) tell(damaged, day_.log().path());
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
