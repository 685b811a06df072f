// The day from the bracket site in the program: Bracket.ini read with the day's other
// files, each day fetched made the schedule, and each bracket match's result reported.
#include <algorithm>

#include "bracket/bracket_day.h"
#include "day/roster.h"
#include "program/program.h"
#include "ui/error.h"
#include "ui/text.h"

namespace quorvel::program {
namespace {

bool sameName(const std::string& a, const std::string& b) { return ui::foldCase(a) == ui::foldCase(b); }

// "14:30": a set's start in local time, as the schedule's time column shows it.
std::string startTime(std::optional<long long> startAt, int offsetMinutes) {
    if (!startAt) return {};
    const std::string iso = day::isoLocalTime(*startAt, offsetMinutes);
    return iso.substr(11, 5);
}

}  // namespace

void Program::readBracketFile() {
    if (!features_.hasSchedule()) return;
    const std::string ini = path("\\Bracket.ini");
    std::optional<bracket::BracketFile> file;
    try {
        file = bracket::readBracketFile(platform(), ini);
    } catch (const Error& error) {
        // The day goes on as it is: from the bracket as last read, else from Matches.csv.
        tellFileFault(error, bracket_ ? std::string("with the bracket as it was last read")
                                      : std::string("with the day of Matches.csv"));
        return;
    }
    if (!file) {
        if (bracket_) {
            bracket_.reset();
            sitePlayers_.clear();
            composeRoster();
        }
        return;
    }
    if (bracket_) {
        const bracket::BracketFile& was = bracket_->file();
        if (was.event == file->event && was.stream == file->stream && was.token == file->token &&
            was.endpoint == file->endpoint) {
            bracket_->refresh();
            return;
        }
    }
    bracket_ = std::make_unique<bracket::BracketDay>(runtime_, std::move(*file), ini, path("\\Bracket day.json"),
                                                     path("\\Reports.csv"));
    bracket_->onDay = [this](const std::vector<bracket::BracketSet>& sets) { takeBracketDay(sets); };
    bracket_->onTell = [this](const std::string& text, const std::string& file) { tell(text, file); };
    bracket_->onChange = [this] {
        day_.touchAll();
        runtime_.noteChange();
    };
    bracket_->start();
}

void Program::composeRoster() {
    day::Roster roster = fileRoster_;
    for (const day::RosterPlayer& player : sitePlayers_) roster.add(player);
    roster.setFile(fileRoster_.file());
    setRoster(std::move(roster));
}

void Program::takeBracketDay(const std::vector<bracket::BracketSet>& sets) {
    const auto countries = day::readRosterCountries(platform(), languages(), platform().programFolder());
    std::vector<day::RosterPlayer> sitePlayers;
    // Each player as the roster knows them, else as the site names them.
    const auto name = [&](const std::optional<bracket::Entrant>& entrant) -> std::string {
        if (!entrant) return {};
        if (const day::RosterPlayer* known = fileRoster_.findOnSite(entrant->name)) return known->name;
        day::RosterPlayer player;
        player.name = entrant->name;
        player.countryText = entrant->country;
        if (const auto found = countries.find(ui::foldCase(entrant->country)); found != countries.end())
            player.country = found->second;
        sitePlayers.push_back(std::move(player));
        return entrant->name;
    };
    std::vector<day::ScheduledMatch> matches;
    for (const bracket::BracketSet& set : sets) {
        // Without a stream the day is the event's sets whose two players are known.
        if (!bracket_->file().stream && (!set.player1 || !set.player2)) continue;
        day::ScheduledMatch match;
        match.player1 = name(set.player1);
        match.player2 = name(set.player2);
        match.series = bracket::seriesCaption(set.totalGames);
        match.round = set.round;
        match.time = startTime(set.startAt, platform().localTimeOffsetMinutes());
        match.set = set.id;
        match.entrant1 = set.player1 ? set.player1->id : std::string();
        match.entrant2 = set.player2 ? set.player2->id : std::string();
        matches.push_back(std::move(match));
        if (matches.size() == static_cast<std::size_t>(day::kMaxMatches)) break;
    }
    // The matches played today and the one on the table stay in the day, in their order,
    // when the site has moved them out of the queue: the results scene and the control
    // page keep them, and the match on the table is still to be recorded and reported.
    std::vector<day::ScheduledMatch> kept;
    for (std::size_t i = 0; i < day_.matches().size(); ++i) {
        const day::ScheduledMatch& was = day_.matches()[i];
        const bool stays = day_.result(i) || day_.current() == i;
        const bool queued = std::any_of(matches.begin(), matches.end(),
                                        [&](const day::ScheduledMatch& m) { return m.set == was.set; });
        if (stays && !was.set.empty() && !queued) kept.push_back(was);
    }
    matches.insert(matches.begin(), kept.begin(), kept.end());
    sitePlayers_ = std::move(sitePlayers);
    composeRoster();
    const std::string damaged = day_.load(std::move(matches));
    if (!damaged.empty()) tell(damaged, day_.log().path());
    runtime_.noteChange();
    scheduleArrived();
}

void Program::matchRecorded(std::size_t index, const day::MatchResult& row,
                            const std::optional<std::vector<int>>& games) {
    if (!bracket_ || index >= day_.matches().size()) return;
    const day::ScheduledMatch& match = day_.matches()[index];
    if (match.set.empty() || row.winner.empty()) return;  // a tie is not reported
    const auto entrant = [&](const std::string& player) {
        return sameName(player, match.player1) ? match.entrant1 : match.entrant2;
    };
    std::vector<bracket::Game> order;
    if (games)
        for (const int side : *games) order.push_back({entrant(side == 1 ? row.player1 : row.player2)});
    bracket_->report(match.set, entrant(row.winner), std::move(order));
}

}  // namespace quorvel::program
