#include "day/match_day.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "day/csv_table.h"
#include "ui/error.h"
#include "ui/numtext.h"
#include "ui/text.h"

namespace quorvel::day {
namespace {

enum MatchColumn { kPlayer1, kPlayer2, kSeries, kRound, kTime, kMatchColumns };
constexpr std::array<std::string_view, kMatchColumns> kMatchColumnNames = {"player1", "player2", "series", "round",
                                                                           "time"};

// The set column came with the bracket's day: a file written before has none, and its
// rows go on without it.
enum ResultColumn { kEnded, kNumber, kResultRound, kResultSeries, kName1, kName2, kScore1, kScore2, kWinner, kSet,
                    kResultColumns };
constexpr std::array<std::string_view, kResultColumns> kResultColumnNames = {
    "ended", "match", "round", "series", "player1", "player2", "score1", "score2", "winner", "set"};
constexpr std::size_t kRequiredResultColumns = kSet;

constexpr long long kSecondsPerDay = 86400;
constexpr int kMaxScore = 999999;

namespace chrono = std::chrono;

// The whole number of `count` digits at `at`, or -1.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) return -1;
    return ui::parseDigits(text.substr(at, count), count).value_or(-1);
}

std::string twoDigits(long long value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

// A whole number from 0 to `high` written in digits alone.
std::optional<int> wholeNumber(const std::string& text, int high) {
    const auto value = ui::parseDigits(text, 7);
    if (!value || *value > high) return std::nullopt;
    return value;
}

bool sameName(const std::string& a, const std::string& b) { return ui::foldCase(a) == ui::foldCase(b); }

// The two names are the match's players; swapped sides have them the other way round.
bool playedBy(const ScheduledMatch& match, const std::string& name1, const std::string& name2) {
    return (sameName(name1, match.player1) && sameName(name2, match.player2)) ||
           (sameName(name1, match.player2) && sameName(name2, match.player1));
}

std::string rowText(const MatchResult& row, char separator, bool withSet) {
    std::string text;
    for (const std::string& field :
         {row.endedText, row.number > 0 ? std::to_string(row.number) : std::string(), row.round, row.series, row.player1, row.player2,
          std::to_string(row.score1), std::to_string(row.score2), row.winner}) {
        if (!text.empty()) text += separator;
        text += csvField(field);
    }
    if (withSet) text += separator + csvField(row.set);
    return text + "\r\n";
}

MatchResult readResult(const CsvTable& table) {
    MatchResult row;
    row.endedText = table.field(kEnded);
    const auto ended = parseIsoTime(row.endedText);
    if (!ended) table.fail("the time the match ended is not a date and time such as 2026-12-09T14:30:05+01:00", row.endedText);
    row.ended = *ended;
    // An empty match is a match of no schedule.
    const auto number = table.field(kNumber).empty() ? std::optional(0) : wholeNumber(table.field(kNumber), kMaxMatches);
    if (!number || (*number == 0 && !table.field(kNumber).empty()))
        table.fail("the match is not a number from 1 to 1000 (or empty for a match of no schedule)",
                   table.field(kNumber));
    row.number = *number;
    row.round = table.field(kResultRound);
    row.series = table.field(kResultSeries);
    row.player1 = table.field(kName1);
    row.player2 = table.field(kName2);
    if (row.player1.empty() || row.player2.empty()) table.fail("a player's name is empty", table.lineText());
    for (const auto& [column, score] : {std::pair{kScore1, &row.score1}, std::pair{kScore2, &row.score2}}) {
        const auto value = wholeNumber(table.field(column), kMaxScore);
        if (!value) table.fail("a score is not a whole number from 0", table.field(column));
        *score = *value;
    }
    row.winner = table.field(kWinner);
    row.set = table.field(kSet);
    return row;
}

}  // namespace

std::vector<ScheduledMatch> readSchedule(ui::Platform& platform, const std::string& path, char* separator) {
    std::vector<ScheduledMatch> matches;
    if (!platform.fileExists(path)) return matches;
    CsvTable table(platform, path, kMatchColumnNames, 2);
    if (separator) *separator = table.separator();
    while (table.next()) {
        if (matches.size() == kMaxMatches)
            table.fail("the schedule holds at most " + std::to_string(kMaxMatches) + " matches", table.lineText());
        ScheduledMatch match{table.field(kPlayer1), table.field(kPlayer2), table.field(kSeries), table.field(kRound),
                             table.field(kTime)};
        for (const std::string* name : {&match.player1, &match.player2})
            if (name->find_first_not_of(" \t") == std::string::npos)
                table.fail(std::string("the name of ") + (name == &match.player1 ? "player1" : "player2") +
                               " is empty",
                           table.lineText());
        matches.push_back(std::move(match));
    }
    return matches;
}

std::string isoLocalTime(long long seconds, int offsetMinutes) {
    const chrono::sys_seconds local{chrono::seconds(seconds + offsetMinutes * 60LL)};
    const chrono::sys_days day = chrono::floor<chrono::days>(local);
    const chrono::year_month_day date{day};
    const chrono::hh_mm_ss time{local - day};
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::string yearText = std::to_string(static_cast<int>(date.year()));
    yearText.insert(0, yearText.size() < 4 ? 4 - yearText.size() : 0, '0');  // as the reader wants: 4 digits
    return yearText + "-" + twoDigits(static_cast<unsigned>(date.month())) + "-" +
           twoDigits(static_cast<unsigned>(date.day())) + "T" + twoDigits(time.hours().count()) + ":" +
           twoDigits(time.minutes().count()) + ":" + twoDigits(time.seconds().count()) +
           (offsetMinutes < 0 ? "-" : "+") + twoDigits(offset / 60) + ":" + twoDigits(offset % 60);
}

std::optional<long long> parseIsoTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS then Z or +HH:MM / -HH:MM; a blank may stand for the T.
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != ' ') || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    chrono::seconds offset{0};
    const std::string_view zone = text.substr(19);
    if (zone != "Z") {
        const int hours = digits(zone, 1, 2);
        const int minutes = digits(zone, 4, 2);
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || hours < 0 || hours > 14 ||
            minutes < 0 || minutes > 59)
            return std::nullopt;
        offset = (zone[0] == '-' ? -1 : 1) * (chrono::hours(hours) + chrono::minutes(minutes));
    }
    // A day past the end of a shorter month runs on into the next (2026-02-30 is 2026-03-02):
    // sys_days counts on from the month's last day.
    const chrono::sys_days date{chrono::year(year) / month / day};
    const chrono::sys_seconds at =
        date + chrono::hours(hour) + chrono::minutes(minute) + chrono::seconds(second) - offset;
    // Before 1970 in universal time (1970-01-01T00:30:00+01:00) is refused as a year
    // before 1970 is: written back, it would read 1969 and no longer be read.
    if (at.time_since_epoch().count() < 0) return std::nullopt;
    return at.time_since_epoch().count();
}

std::vector<MatchResult> ResultsLog::read(std::string& message) {
    std::vector<MatchResult> rows;
    message.clear();
    if (!platform_.fileExists(path_)) return rows;
    const auto damaged = [&](const std::string& what, const std::string& key) {
        if (!damagedTold_.insert(key).second) return;
        message += (message.empty() ? "" : "\n") + what;
    };
    try {
        CsvTable table(platform_, path_, kResultColumnNames, kRequiredResultColumns);
        for (;;) {
            try {
                if (!table.next()) break;
                rows.push_back(readResult(table));
            } catch (const Error& error) {
                damaged(error.what(), std::to_string(table.line()) + ":" + std::string(table.lineText()));
            }
        }
    } catch (const Error& error) {
        damaged(error.what(), error.what());  // the header, or the file cannot be read
    }
    if (!message.empty()) message += "\nSuch a row is passed over and left in the file as it is.";
    return rows;
}

std::string ResultsLog::append(const MatchResult& row) {
    unwritten_.push_back(row);
    std::string text;
    try {
        // A new file starts with its header (and the mark that tells a spreadsheet it is
        // UTF-8); a file whose last row lacks its line end gets one first, so that no row
        // is joined to a row left half.
        std::string before;
        char separator = separator_;
        // A new file has the set column when it starts with a bracket's set; an existing
        // file keeps the columns its header has.
        bool withSet = std::any_of(unwritten_.begin(), unwritten_.end(), [](const MatchResult& r) { return !r.set.empty(); });
        if (platform_.fileExists(path_)) {
            try {
                before = platform_.readFile(path_);
            } catch (const Error&) {
                before = "\n";  // the write will tell why, if it fails
            }
        }
        if (before.find_first_not_of("\xEF\xBB\xBF \t\r\n") == std::string::npos) {
            text = "\xEF\xBB\xBF";
            for (std::size_t c = 0; c < (withSet ? kResultColumns : kRequiredResultColumns); ++c)
                text += (c ? std::string(1, separator) : "") + std::string(kResultColumnNames[c]);
            text += "\r\n";
        } else {
            try {
                const CsvTable header(path_, before, kResultColumnNames, 0);
                separator = header.separator();
                withSet = header.hasColumn(kSet);
            } catch (const Error&) {
                // a damaged header: the rows go on in the schedule's separator
            }
            if (before.back() != '\n' && before.back() != '\r') text = "\r\n";
        }
        for (const MatchResult& kept : unwritten_) text += rowText(kept, separator, withSet);
        platform_.appendFile(path_, text);
    } catch (const Error& error) {
        if (refusalTold_) return {};
        refusalTold_ = true;
        return std::string(error.what()) + "\nThe result is kept and written with the next one.";
    }
    unwritten_.clear();
    refusalTold_ = false;
    return {};
}

std::string MatchDay::load(std::vector<ScheduledMatch> matches) {
    // The current match stays current where the new schedule has it: at its place, else the
    // first match of the same players (a match added or removed before it).
    if (current_) {
        const ScheduledMatch& was = matches_[*current_];
        const auto same = [&](const ScheduledMatch& m) {
            if (!was.set.empty()) return m.set == was.set;
            return sameName(m.player1, was.player1) && sameName(m.player2, was.player2);
        };
        if (*current_ >= matches.size() || !same(matches[*current_])) {
            const auto found = std::find_if(matches.begin(), matches.end(), same);
            current_ = found == matches.end() ? std::nullopt
                                              : std::optional(static_cast<std::size_t>(found - matches.begin()));
        }
    }
    matches_ = std::move(matches);
    results_.assign(matches_.size(), std::nullopt);
    std::string message;
    const long long now = platform_.wallClockSeconds();
    for (const MatchResult& row : log_.read(message)) take(row, now);
    for (const MatchResult& row : log_.unwritten()) take(row, now);
    changed_.assign(matches_.size(), ++revision_);
    return message;
}

void MatchDay::take(const MatchResult& row, long long now) {
    if (row.number < 1) return;  // a match of no schedule
    // A bracket's set is found by its id: its place changes as the queue moves on.
    std::size_t index = static_cast<std::size_t>(row.number) - 1;
    if (!row.set.empty()) {
        const auto found = std::find_if(matches_.begin(), matches_.end(), [&](const ScheduledMatch& m) { return m.set == row.set; });
        index = static_cast<std::size_t>(found - matches_.begin());
    }
    if (index >= matches_.size() || row.ended < now - kSecondsPerDay || row.ended > now + kSecondsPerDay) return;
    const ScheduledMatch& match = matches_[index];
    if (playedBy(match, row.player1, row.player2)) results_[index] = row;
}

void MatchDay::setCurrent(std::size_t index) {
    if (index >= matches_.size()) return;
    ++revision_;
    if (current_) changed_[*current_] = revision_;
    changed_[index] = revision_;
    current_ = index;
    recordedCurrent_ = false;
    over_ = false;
}

const MatchResult* MatchDay::result(std::size_t index) const {
    return index < results_.size() && results_[index] ? &*results_[index] : nullptr;
}

bool MatchDay::waiting(std::size_t index) const { return !results_[index] && matches_[index].playable(); }

std::optional<std::size_t> MatchDay::firstUnplayed() const {
    for (std::size_t i = 0; i < matches_.size(); ++i)
        if (waiting(i)) return i;
    return std::nullopt;
}

bool MatchDay::onTable(const std::string& name1, const std::string& name2) const {
    return current_ && playedBy(matches_[*current_], name1, name2);
}

std::optional<std::size_t> MatchDay::next(bool withCurrent) const {
    if (!current_) return firstUnplayed();
    for (std::size_t i = *current_ + (withCurrent ? 0 : 1); i < matches_.size(); ++i)
        if (waiting(i)) return i;
    for (std::size_t i = 0; i < *current_; ++i)
        if (waiting(i)) return i;
    return std::nullopt;
}

std::string MatchDay::finish(const std::string& name1, const std::string& name2, int score1, int score2) {
    if (!current_ || over_ || score1 + score2 <= 0) return {};
    const std::size_t index = *current_;
    MatchResult row;
    row.ended = platform_.wallClockSeconds();
    row.endedText = isoLocalTime(row.ended, platform_.localTimeOffsetMinutes());
    row.player1 = name1;
    row.player2 = name2;
    row.score1 = score1;
    row.score2 = score2;
    row.winner = score1 > score2 ? name1 : score2 > score1 ? name2 : std::string();
    // Names typed over the match make a match of no schedule: kept, marking nothing played.
    if (!onTable(name1, name2)) return log_.append(row);
    const MatchResult* last = result(index);
    if (recordedCurrent_ && last && last->score1 == score1 && last->score2 == score2 && last->player1 == name1 &&
        last->player2 == name2)
        return {};  // recorded already
    const ScheduledMatch& match = matches_[index];
    row.number = static_cast<int>(index) + 1;
    row.round = match.round;
    row.series = match.series;
    row.set = match.set;
    results_[index] = row;
    recordedCurrent_ = true;
    changed_[index] = ++revision_;
    return log_.append(row);
}

}  // namespace quorvel::day
