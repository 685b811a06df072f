// The day's schedule on the table: the next match, or any match, set up in one step through
// the same code as the control menu's "OK", the chord 0 and the roster pick, so the menu,
// the chords, the remote control and the overlay stay in step.
#include "program/program.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

int scoreOf(const ui::Label& score) {
    const auto value = ui::parseNumber(score.caption());
    return value && *value > 0 ? ui::toInt(ui::wholePart(*value)).value_or(0) : 0;
}

}  // namespace

void ScoreTable::finishMatch() {
    day::MatchDay& day = program_.day();
    const auto current = day.current();
    const std::uint64_t revision = current ? day.revisionOf(*current) : 0;
    const std::string refusal = day.finish(P1.caption(), P2.caption(), scoreOf(T1), scoreOf(T2));
    if (!refusal.empty()) program_.tell(refusal, day.log().path());
    // The current match's result, recorded now: a bracket's set is reported.
    if (current && day.result(*current) && day.revisionOf(*current) != revision)
        program_.matchRecorded(*current, *day.result(*current), games_.games());
}

void ScoreTable::leaveMatch() {
    finishMatch();
    program_.readDayFiles(true);
}

void ScoreTable::setUpMatch(std::size_t index) {
    day::MatchDay& day = program_.day();
    const day::ScheduledMatch match = day.matches()[index];
    day.setCurrent(index);

    control::ControlMenu& menu = program_.controlMenu();
    menu.Text1.setText(match.player1);
    menu.Text2.setText(match.player2);
    menu.applyNames();
    resetScores();
    if (!match.series.empty()) {
        menu.BO.setText(match.series);
        menu.applySeries();
    }
    // A new match: each roster player whole, as at GO!!!; a player the roster does not
    // know has no country rather than the last player's.
    const day::Roster& roster = program_.roster();
    for (const int player : {1, 2}) {
        if (const day::RosterPlayer* entry = roster.find(player == 1 ? match.player1 : match.player2))
            menu.applyRosterPlayer(player, *entry);
        else
            clearCountry(player);
    }
}

ScoreTable::MatchStep ScoreTable::goToMatch(std::size_t index) {
    day::MatchDay& day = program_.day();
    if (day.empty()) return MatchStep::NoSchedule;
    if (index >= day.matches().size()) return MatchStep::DayOver;
    if (!day.matches()[index].playable()) return MatchStep::PlayerNotKnown;
    leaveMatch();
    if (day.empty()) return MatchStep::NoSchedule;
    if (index >= day.matches().size()) return MatchStep::DayOver;
    if (!day.matches()[index].playable()) return MatchStep::PlayerNotKnown;
    setUpMatch(index);
    return MatchStep::Loaded;
}

ScoreTable::MatchStep ScoreTable::nextMatch() {
    day::MatchDay& day = program_.day();
    if (day.empty()) return MatchStep::NoSchedule;
    // After a show match typed over the current match, that match is still to be played.
    const bool showMatch = !day.onTable(P1.caption(), P2.caption());
    leaveMatch();
    if (day.empty()) return MatchStep::NoSchedule;
    if (const auto next = day.next(showMatch)) {
        setUpMatch(*next);
        return MatchStep::Loaded;
    }
    day.setOver();
    return MatchStep::DayOver;
}

void ScoreTable::nextMatchByHand() {
    if (nextMatch() != MatchStep::DayOver) return;
    program_.tell("Every match of the day's schedule (Matches.csv) has its result: no match is left to load, and the "
              "table stays as it is.",
              program_.path("\\Matches.csv"));
}

}  // namespace quorvel::table
