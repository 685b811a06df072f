#pragma once
// Layer day/: the data and the day (settings, word and country lists, roster, schedule,
// results, palette, the CSV reader); it includes only ui/, never a window.
// The day's schedule: the matches the operator lists in Matches.csv in the program folder
// (optional; release 0.99), which of them is on the table, and the results, which the
// program keeps in Results.csv beside it. A result is appended as one whole row when a
// match is left after a point was scored; earlier rows are never rewritten. At each load
// of the start dialog the rows of the last 24 hours that belong to the schedule (the same
// match number and both names) mark their matches played, so a day that the program left
// (closed or crashed) goes on with the first match not yet played.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/platform.h"

namespace quorvel::day {

constexpr int kMaxMatches = 1000;

struct ScheduledMatch {
    std::string player1;  // empty in a bracket's set whose player is not known yet
    std::string player2;
    std::string series;  // the series caption; empty: the caption stays
    std::string round;
    std::string time;
    // A bracket's set: its id on the site and each player's entrant id there; empty for
    // the matches of Matches.csv.
    std::string set;
    std::string entrant1;
    std::string entrant2;
    // Both players are known: only such a match is put on the table.
    bool playable() const { return !player1.empty() && !player2.empty(); }
};

// One row of Results.csv.
struct MatchResult {
    long long ended = 0;     // seconds since 1970
    std::string endedText;   // local time, ISO 8601 with its offset
    // The match's number in the day, from 1; 0 (an empty field) for a match of no
    // schedule, such as a show match typed over a match of the day.
    int number = 0;
    std::string round;
    std::string series;
    std::string player1;
    std::string player2;
    int score1 = 0;
    int score2 = 0;
    std::string winner;  // empty on a tie
    std::string set;     // the bracket set's id on the site, empty for a match of the file
};

// Reads the schedule at `path`: none when there is no such file. Throws quorvel::Error
// naming the file, the line and the value of the first field that breaks its rules.
// `separator`, when given, receives the separator the file uses.
std::vector<ScheduledMatch> readSchedule(ui::Platform& platform, const std::string& path, char* separator = nullptr);

// "2026-12-09T14:30:05+01:00" for `seconds` since 1970 at `offsetMinutes` from UTC, and
// back (nothing for text of another form).
std::string isoLocalTime(long long seconds, int offsetMinutes);
std::optional<long long> parseIsoTime(std::string_view text);

// The results file: read whole, written only by appending whole rows.
class ResultsLog {
public:
    ResultsLog(ui::Platform& platform, std::string path) : platform_(platform), path_(std::move(path)) {}

    // The file's rows (none without the file). A row that breaks the rules is skipped; the
    // message names, once each, the damaged rows not named before ("" when none).
    std::vector<MatchResult> read(std::string& message);
    // Appends `row` after the rows an earlier refusal kept, in one write. A refusal keeps
    // them all for the next time; its message (naming the file and the reason) is given
    // once until a write succeeds again, "" otherwise.
    // A new file is written with the schedule's separator; rows appended to an existing
    // file use the separator its header has.
    std::string append(const MatchResult& row);
    void setSeparator(char separator) { separator_ = separator; }
    // Rows not written yet.
    const std::vector<MatchResult>& unwritten() const { return unwritten_; }
    const std::string& path() const { return path_; }

private:
    ui::Platform& platform_;
    std::string path_;
    std::vector<MatchResult> unwritten_;
    char separator_ = ',';  // for a new file
    bool refusalTold_ = false;
    std::set<std::string> damagedTold_;  // "line: text" of each damaged row named
};

class MatchDay {
public:
    MatchDay(ui::Platform& platform, std::string resultsPath)
        : platform_(platform), log_(platform, std::move(resultsPath)) {}

    // The schedule as read anew; its results from Results.csv (and those not written yet).
    // The current match stays current where the new schedule has it. Returns the message about
    // damaged rows of Results.csv, or "".
    std::string load(std::vector<ScheduledMatch> matches);
    bool empty() const { return matches_.empty(); }
    const std::vector<ScheduledMatch>& matches() const { return matches_; }
    // Indexes count from 0; the files and the remote control number matches from 1.
    std::optional<std::size_t> current() const { return current_; }
    void setCurrent(std::size_t index);
    // The latest result of a match, or nullptr while it has not been played.
    const MatchResult* result(std::size_t index) const;
    std::optional<std::size_t> firstUnplayed() const;
    // Whether the names on the table are the current match's players (on either side, in
    // any case); other names make the table a match of no schedule.
    bool onTable(const std::string& name1, const std::string& name2) const;
    // What "next match" loads: the first match after the current one not yet played, else
    // the first one before it not yet played; nothing at the day's end. `withCurrent`: the
    // current match itself counts (a show match was played over it).
    std::optional<std::size_t> next(bool withCurrent = false) const;
    // The table is left with these names and scores. When a point was scored and this
    // result was not the last one recorded, it is appended to Results.csv: as the current
    // match's when the names are its players, which marks it played; otherwise as a match
    // of no schedule, which marks nothing. Returns the message of a refusal to write, or "".
    std::string finish(const std::string& name1, const std::string& name2, int score1, int score2);
    // "Next match" found none: the day's end. It is reached once, and nothing is recorded
    // after it until a match is put on the table again.
    bool over() const { return over_; }
    void setOver() { over_ = true; }
    // Changes with every change of the schedule, the current match or a result.
    std::uint64_t revision() const { return revision_; }
    // Something every match shows changed outside the day (a bracket report's state).
    void touchAll() { changed_.assign(matches_.size(), ++revision_); }
    // The revision at which match `index` (its state or its result) last changed.
    std::uint64_t revisionOf(std::size_t index) const { return changed_[index]; }
    const ResultsLog& log() const { return log_; }
    // The separator Matches.csv uses, which a new Results.csv is written with.
    void setScheduleSeparator(char separator) { log_.setSeparator(separator); }

private:
    // Not played yet and both players known: a match "next match" may load.
    bool waiting(std::size_t index) const;
    // Marks the match that `row` belongs to as played, when it does.
    void take(const MatchResult& row, long long now);

    ui::Platform& platform_;
    ResultsLog log_;
    std::vector<ScheduledMatch> matches_;
    std::vector<std::optional<MatchResult>> results_;
    std::vector<std::uint64_t> changed_;  // revisionOf each match
    std::optional<std::size_t> current_;
    bool recordedCurrent_ = false;  // finish() wrote the current match's result
    bool over_ = false;
    std::uint64_t revision_ = 0;
};

}  // namespace quorvel::day
