#include "bracket/reports_file.h"

#include <algorithm>
#include <array>

#include "day/csv_table.h"
#include "day/match_day.h"
#include "ui/error.h"

namespace quorvel::bracket {
namespace {

enum Column { kTime, kSet, kState, kWinner, kGames, kReason, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"time", "set", "state", "winner", "games", "reason"};
constexpr std::array<ReportState, 3> kRowStates = {ReportState::Waiting, ReportState::Confirmed, ReportState::Refused};

std::vector<Game> gamesOf(std::string_view text) {
    std::vector<Game> games;
    while (!text.empty()) {
        const std::size_t start = text.find_first_not_of(" \t");
        if (start == std::string_view::npos) break;
        text.remove_prefix(start);
        const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
        games.push_back({std::string(text.substr(0, end))});
        text.remove_prefix(end);
    }
    return games;
}

}  // namespace

const char* reportStateName(ReportState state) {
    switch (state) {
    case ReportState::Waiting: return "waiting";
    case ReportState::Confirmed: return "confirmed";
    case ReportState::Refused: return "refused";
    default: return "none";
    }
}

std::string ReportsFile::load() {
    reports_.clear();
    std::string message;
    const auto damaged = [&](const std::string& what, const std::string& key) {
        if (damagedTold_.insert(key).second) message += (message.empty() ? "" : "\n") + what;
    };
    if (platform_.fileExists(path_)) {
        try {
            day::CsvTable table(platform_, path_, kColumnNames, 3);
            for (;;) {
                try {
                    if (!table.next()) break;
                    Row row;
                    row.timeText = table.field(kTime);
                    const auto time = day::parseIsoTime(row.timeText);
                    if (!time) table.fail("the time is not a date and time such as 2026-12-09T14:30:05+01:00", row.timeText);
                    row.time = *time;
                    row.setId = table.field(kSet);
                    if (row.setId.empty()) table.fail("the set's id is empty", table.lineText());
                    const auto state = std::find_if(kRowStates.begin(), kRowStates.end(), [&](ReportState s) {
                        return table.field(kState) == reportStateName(s);
                    });
                    if (state == kRowStates.end())
                        table.fail("the state is not waiting, confirmed or refused", table.field(kState));
                    row.state = *state;
                    row.winnerId = table.field(kWinner);
                    if (row.state == ReportState::Waiting && row.winnerId.empty())
                        table.fail("a waiting report has no winner", table.lineText());
                    row.games = gamesOf(table.field(kGames));
                    row.reason = table.field(kReason);
                    fold(row);
                } catch (const Error& error) {
                    damaged(error.what(), std::to_string(table.line()) + ":" + std::string(table.lineText()));
                }
            }
        } catch (const Error& error) {
            damaged(error.what(), error.what());  // the header, or the file cannot be read
        }
    }
    for (const Row& row : unwritten_) fold(row);
    if (!message.empty()) message += "\nSuch a row is passed over and left in the file as it is.";
    return message;
}

void ReportsFile::fold(const Row& row) {
    Report* report = findReport(row.setId);
    if (row.state == ReportState::Waiting) {
        if (report) return;  // reported once: the first waiting row holds
        reports_.push_back({row.setId, row.winnerId, row.games, row.time, ReportState::Waiting, {}});
        return;
    }
    if (!report) {
        reports_.push_back({row.setId, row.winnerId, {}, row.time, row.state, row.reason});
        return;
    }
    report->state = row.state;
    report->reason = row.reason;
}

Report* ReportsFile::findReport(const std::string& setId) {
    const auto found = std::find_if(reports_.begin(), reports_.end(), [&](const Report& r) { return r.setId == setId; });
    return found == reports_.end() ? nullptr : &*found;
}

const Report* ReportsFile::find(const std::string& setId) const {
    return const_cast<ReportsFile*>(this)->findReport(setId);
}

std::vector<const Report*> ReportsFile::waiting() const {
    std::vector<const Report*> found;
    for (const Report& report : reports_)
        if (report.state == ReportState::Waiting) found.push_back(&report);
    return found;
}

bool ReportsFile::addWaiting(const std::string& setId, const std::string& winnerId, const std::vector<Game>& games,
                             std::string& message) {
    message.clear();
    if (setId.empty() || winnerId.empty() || find(setId)) return false;
    Row row;
    row.setId = setId;
    row.state = ReportState::Waiting;
    row.winnerId = winnerId;
    row.games = games;
    message = append(std::move(row));
    return true;
}

std::string ReportsFile::confirm(const std::string& setId) {
    Row row;
    row.setId = setId;
    row.state = ReportState::Confirmed;
    return append(std::move(row));
}

std::string ReportsFile::refuse(const std::string& setId, const std::string& reason) {
    Row row;
    row.setId = setId;
    row.state = ReportState::Refused;
    row.reason = reason;
    return append(std::move(row));
}

std::string ReportsFile::append(Row row) {
    row.time = platform_.wallClockSeconds();
    row.timeText = day::isoLocalTime(row.time, platform_.localTimeOffsetMinutes());
    fold(row);
    unwritten_.push_back(std::move(row));
    try {
        // A new file starts with its header; a file whose last row lacks its line end gets
        // one first, so that no row is joined to a row left half by a crash.
        std::string before;
        if (platform_.fileExists(path_)) {
            try {
                before = platform_.readFile(path_);
            } catch (const Error&) {
                before = "\n";  // the write will tell why, if it fails
            }
        }
        std::string text;
        char separator = ',';
        if (before.find_first_not_of("\xEF\xBB\xBF \t\r\n") == std::string::npos) {
            text = "\xEF\xBB\xBF";
            for (std::size_t c = 0; c < kColumns; ++c) {
                if (c) text += ',';
                text += kColumnNames[c];
            }
            text += "\r\n";
        } else {
            try {
                separator = day::CsvTable(path_, before, kColumnNames, 0).separator();
            } catch (const Error&) {
                // a damaged header: the rows go on with commas
            }
            if (before.back() != '\n' && before.back() != '\r') text = "\r\n";
        }
        for (const Row& kept : unwritten_) {
            std::string games;
            for (const Game& game : kept.games) games += (games.empty() ? "" : " ") + game.winnerId;
            std::string line;
            for (const std::string& field :
                 {kept.timeText, kept.setId, std::string(reportStateName(kept.state)), kept.winnerId, games, kept.reason}) {
                if (!line.empty()) line += separator;
                line += day::csvField(field);
            }
            text += line + "\r\n";
        }
        platform_.appendFile(path_, text);
    } catch (const Error& error) {
        if (refusalTold_) return {};
        refusalTold_ = true;
        return std::string(error.what()) + "\nThe report is kept and written with the next one.";
    }
    unwritten_.clear();
    refusalTold_ = false;
    return {};
}

}  // namespace quorvel::bracket
