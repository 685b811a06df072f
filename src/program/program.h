#pragma once
// The running program as its windows reach it: the settings record, the language and
// country lists, the roster and the day, the notices, and the three windows.
//
// The layers, each including only those below it:
//   app/      the application object: creates the windows; the remote drives it
//   remote/   the remote control: its server, its actions, its pages
//   start/, control/, table/   the three windows; start/ and control/ never include each
//             other, and a window reaches another only through this header's accessors
//   program/  this header: what the windows share
//   day/      the data and the day: files, settings, roster, schedule, results, palette
//   ui/       the windowing layer and the text helpers; platform/ backs it
//
// A window is reached only through its accessor, which creates and loads it, hidden, on
// first reference; it is registered before its load runs, so a reference to it during its
// own load reaches the half-loaded window. A window unloaded inside one of its own
// handlers is detached at once and freed when the event completes. The application
// object implements the accessors: it alone knows every window.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bracket/bracket_day.h"
#include "day/match_day.h"
#include "day/notices.h"
#include "day/release.h"
#include "day/roster.h"
#include "day/settings.h"
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

namespace quorvel::program {

// What the control menu's "OK" last applied for saving the table's picture.
struct AppliedCapture {
    std::string path;
    std::string interval;  // tenths of a second, as typed
    ui::Color background = 0;
};

class Program {
public:
    Program(ui::Platform& platform, day::Release release);
    virtual ~Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::Runtime& runtime() { return runtime_; }
    ui::Platform& platform() const { return runtime_.platform(); }
    day::Release release() const { return features_.release(); }
    // What this release has, by name.
    const day::Features& features() const { return features_; }
    const std::string& title() const { return runtime_.title(); }

    day::Settings& settings() { return settings_; }
    std::vector<std::string>& languages() { return languages_; }
    std::vector<std::string>& countries() { return countries_; }
    // The roster read by the start dialog's last load; empty without Players.csv and in
    // releases before 0.99.
    const day::Roster& roster() const { return roster_; }
    void setRoster(day::Roster roster) {
        roster_ = std::move(roster);
        ++rosterRevision_;
    }
    // Changes with every roster set.
    std::uint64_t rosterRevision() const { return rosterRevision_; }
    // The day's schedule and results (release 0.99; empty without Matches.csv).
    day::MatchDay& day() { return day_; }
    const day::MatchDay& day() const { return day_; }
    // Reads the operator's files of the day, Players.csv and Matches.csv with the results
    // that belong to it: every time (the start dialog's load), or `changedOnly` those whose
    // text changed since they were last read (the next match, the remote's reload), so a
    // typo put right or a match added mid-day takes effect without leaving the match. A
    // broken file is told, and the roster or schedule as last read stays.
    // With Bracket.ini (release 0.99) the day comes from the bracket site instead of
    // Matches.csv: the file read again where it changed, and the day fetched.
    void readDayFiles(bool changedOnly);

    // The day from the bracket site; nullptr without Bracket.ini.
    bracket::BracketDay* bracket() { return bracket_.get(); }
    const bracket::BracketDay* bracket() const { return bracket_.get(); }
    // Match `index` of the day was left with its result recorded (`row`), its games'
    // winners in order (1 or 2, as the table's sides were) when known: a bracket's set with
    // a winner is reported to the site.
    void matchRecorded(std::size_t index, const day::MatchResult& row, const std::optional<std::vector<int>>& games);

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
    day::Notices& notices() { return notices_; }
    const day::Notices& notices() const { return notices_; }
    // While a remote action runs, what it tells is a notice even before GO!!!: a box would
    // hold the action's answer until the operator closed it.
    [[nodiscard]] ui::ScopedCount<int> remoteAction() { return ui::ScopedCount(remoteActions_); }

    // The program folder followed by `name`, which begins with a backslash.
    std::string path(std::string_view name);

    virtual start::StartDialog& startDialog() = 0;
    virtual bool startDialogLoaded() const = 0;
    virtual void unloadStartDialog() = 0;

    virtual table::ScoreTable& table() = 0;
    virtual bool tableLoaded() const = 0;
    virtual void unloadTable() = 0;

    virtual control::ControlMenu& controlMenu() = 0;
    virtual bool controlMenuLoaded() const = 0;
    virtual void unloadControlMenu() = 0;

    // Closes every window and ends the program.
    virtual void quit() = 0;

    // The bracket's day changed the schedule: the start dialog in front shows its match.
    virtual void scheduleArrived() = 0;

protected:
    struct Told {
        day::Notice notice;
        bool fromRemote;
    };
    // The tells of the event that just completed, each to its box or notice: the
    // application object knows which window is in front.
    virtual void deliverTold(std::vector<Told> told) = 0;

private:
    void readRosterFile();
    void readScheduleFile();
    // Bracket.ini read again: the bracket's day started, kept or ended.
    void readBracketFile();
    // A day fetched from the bracket becomes the schedule: each player as the roster knows
    // them (by tag or name), else as the site names them with the country of their profile.
    void takeBracketDay(const std::vector<bracket::BracketSet>& sets);
    // The roster of the file and the bracket's players it does not know, as one.
    void composeRoster();
    // A fault in one of the operator's files, told: the program goes on `goesOnWith`.
    void tellFileFault(const Error& error, const std::string& goesOnWith);
    // Whether the text at `path` (none when there is no file) differs from what `seen`
    // says was read last; `seen` then says this text.
    bool changedSince(const std::string& path, std::optional<std::size_t>& seen);

    ui::Runtime runtime_;
    day::Features features_;
    day::Settings settings_;
    std::vector<std::string> languages_;
    std::vector<std::string> countries_;
    day::Roster roster_;
    day::Roster fileRoster_;
    std::vector<day::RosterPlayer> sitePlayers_;
    std::unique_ptr<bracket::BracketDay> bracket_;
    std::optional<std::size_t> bracketText_;
    std::uint64_t rosterRevision_ = 0;
    day::MatchDay day_;
    day::Notices notices_;
    // The hash of each day file's text as last read; nothing before the first reading.
    std::optional<std::size_t> rosterText_;
    std::optional<std::size_t> scheduleText_;
    std::vector<Told> told_;
    int remoteActions_ = 0;
    std::optional<AppliedCapture> appliedCapture_;
    ui::CaptureFile captureFile_;
};

}  // namespace quorvel::program
