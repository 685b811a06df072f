#pragma once
// The application object: the settings record, the language and country lists, and the
// three windows. A window is reached only through its accessor, which creates and loads
// it, hidden, on first reference; it is registered before its load runs, so a reference
// to it during its own load reaches the half-loaded window. A window unloaded inside one
// of its own handlers is detached at once and freed when the event completes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/match_day.h"
#include "app/notices.h"
#include "app/release.h"
#include "app/roster.h"
#include "app/settings.h"
#include "ui/capture_file.h"
#include "ui/error.h"
#include "ui/platform.h"
#include "ui/runtime.h"

namespace quorvel::start {
class StartDialog;
}
namespace quorvel::table {
class ScoreTable;
}
namespace quorvel::control {
class ControlMenu;
}

namespace quorvel::app {

// What the control menu's "OK" last applied for saving the table's picture.
struct AppliedCapture {
    std::string path;
    std::string interval;  // tenths of a second, as typed
    ui::Color background = 0;
};

class App {
public:
    App(ui::Platform& platform, Release release);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Loads the start dialog (which reads every file) and shows it: the first window.
    void start();

    ui::Runtime& runtime() { return runtime_; }
    ui::Platform& platform() { return runtime_.platform(); }
    Release release() const { return release_; }
    const std::string& title() const { return runtime_.title(); }

    Settings& settings() { return settings_; }
    std::vector<std::string>& languages() { return languages_; }
    std::vector<std::string>& countries() { return countries_; }
    // The roster read by the start dialog's last load; empty without Players.csv and in
    // releases before 0.99.
    const Roster& roster() const { return roster_; }
    void setRoster(Roster roster) {
        roster_ = std::move(roster);
        ++rosterRevision_;
    }
    // Changes with every roster set.
    std::uint64_t rosterRevision() const { return rosterRevision_; }
    // The day's schedule and results (release 0.99; empty without Matches.csv).
    MatchDay& day() { return day_; }
    const MatchDay& day() const { return day_; }
    // Reads the operator's files of the day, Players.csv and Matches.csv with the results
    // that belong to it: every time (the start dialog's load), or `changedOnly` those whose
    // text changed since they were last read (the next match, the remote's reload), so a
    // typo put right or a match added mid-day takes effect without leaving the match. A
    // broken file is told, and the roster or schedule as last read stays.
    void readDayFiles(bool changedOnly);

    // The saving of the table's picture that "OK" applied, empty before the first "OK". A
    // new table takes it over, and the file it keeps in step stays the same object, so the
    // saving goes on from one match to the next by the same rules.
    std::optional<AppliedCapture>& appliedCapture() { return appliedCapture_; }
    ui::CaptureFile& captureFile() { return captureFile_; }

    // Tells the operator of a problem that ends nothing, once the running event has
    // completed: in a message box while the start dialog is in front, as a notice (the
    // control menu's line, the remote control) while the table is up. A cause told since
    // the files were last read is not told again. The releases before 0.99 show every
    // such message in a box at once, as they always have.
    void tell(const std::string& text, std::string file = {}, std::size_t line = 0);
    void tell(const Error& error) { tell(error.what(), error.file(), error.line()); }
    Notices& notices() { return notices_; }
    const Notices& notices() const { return notices_; }
    // While a remote action runs, what it tells is a notice even before GO!!!: a box would
    // hold the action's answer until the operator closed it.
    [[nodiscard]] ui::ScopedCount<int> remoteAction() { return ui::ScopedCount(remoteActions_); }

    // The program folder followed by `name`, which begins with a backslash.
    std::string path(std::string_view name);

    start::StartDialog& startDialog();
    bool startDialogLoaded() const { return startDialog_ != nullptr; }
    void unloadStartDialog();

    table::ScoreTable& table();
    bool tableLoaded() const { return table_ != nullptr; }
    void unloadTable();

    control::ControlMenu& controlMenu();
    bool controlMenuLoaded() const { return controlMenu_ != nullptr; }
    void unloadControlMenu();

    // Closes every window and ends the program.
    void quit();

private:
    struct Told {
        Notice notice;
        bool fromRemote;
    };
    // The tells of the event that just completed, each to its box or notice.
    void deliverTold();
    void readRosterFile();
    void readScheduleFile();
    // A fault in one of the operator's files, told: the program goes on `goesOnWith`.
    void tellFileFault(const Error& error, const std::string& goesOnWith);
    // Whether the text at `path` (none when there is no file) differs from what `seen`
    // says was read last; `seen` then says this text.
    bool changedSince(const std::string& path, std::optional<std::size_t>& seen);

    ui::Runtime runtime_;
    Release release_;
    Settings settings_;
    std::vector<std::string> languages_;
    std::vector<std::string> countries_;
    Roster roster_;
    std::uint64_t rosterRevision_ = 0;
    MatchDay day_;
    Notices notices_;
    // The hash of each day file's text as last read; nothing before the first reading.
    std::optional<std::size_t> rosterText_;
    std::optional<std::size_t> scheduleText_;
    std::vector<Told> told_;
    int remoteActions_ = 0;
    std::optional<AppliedCapture> appliedCapture_;
    ui::CaptureFile captureFile_;
    std::unique_ptr<start::StartDialog> startDialog_;
    std::unique_ptr<table::ScoreTable> table_;
    std::unique_ptr<control::ControlMenu> controlMenu_;
};

}  // namespace quorvel::app
