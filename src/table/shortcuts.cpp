// The score table's key chords and timers. A 10 ms poll reads the global key state, so the
// chords work whatever window has the keyboard focus, the game included. A chord is a key
// held together with Ctrl+Shift or with Tab. A chord that changes a score or a portrait
// turns the poll off; the repeat guard turns it on again 600 ms later, so a held chord
// acts about every 610 ms. Two more timers drive the grey pulses of the series caption
// and of the country names.
//
// An idle tick (no chord held) must cost next to nothing: it allocates nothing, and every
// property it sets is set to the value it already has, which is a no-op all the way down
// to the backend.
#include <algorithm>
#include <span>

#include "program/program.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/keys.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

constexpr int kLastPortrait = 12;
// A speed box's number N gives one pulse step every 2 x N milliseconds.
constexpr int kMillisecondsPerSpeedUnit = 2;
constexpr int kMaxPulseInterval = 32767;
constexpr int kPulseStep = 5;
// The pulse directions kept in the pulse timers' tags.
const std::string kDown = "-1";
const std::string kUp = "1";

// The tags that keep the pulses' levels and directions hold numbers only.
double tagNumber(const std::string& tag) { return ui::parseNumber(tag).value_or(0); }

ui::Color grey(double level) {
    const int v = std::clamp(ui::toInt(level).value_or(0), 0, 255);
    return ui::rgb(v, v, v);
}

// The interval a speed box asks for, or nothing when it holds no number or one whose
// interval lies outside what the pulse timers take.
std::optional<int> pulseInterval(const ui::TextBox& box) {
    const auto number = ui::parseNumber(box.text());
    if (!number) return std::nullopt;
    const double interval = kMillisecondsPerSpeedUnit * ui::wholePart(*number);
    if (!(interval >= 0 && interval <= kMaxPulseInterval)) return std::nullopt;
    return static_cast<int>(interval);
}

}  // namespace

// The chords of the poll, tested in this order on every tick.
const ScoreTable::ChordRow ScoreTable::kChords[] = {
    {'Q', Chord::ShiftCtrlOrTab, &ScoreTable::nextPortrait1, true},
    {'W', Chord::ShiftCtrlOrTab, &ScoreTable::nextPortrait2, true},
    {'V', Chord::ShiftCtrlOrTab, &ScoreTable::hidePortraits, true},
    {'B', Chord::ShiftCtrlOrTab, &ScoreTable::hidePortraits, true},
    {'1', Chord::ShiftCtrlOrTab, &ScoreTable::scoreUp1, true},
    {'2', Chord::ShiftCtrlOrTab, &ScoreTable::scoreUp2, true},
    {'8', Chord::ShiftCtrlOrTab, &ScoreTable::scoreDown1, true},
    {'9', Chord::ShiftCtrlOrTab, &ScoreTable::scoreDown2, true},
    {'0', Chord::ShiftCtrlOrTab, &ScoreTable::resetScores, true},
    {'7', Chord::ShiftCtrlOrTab, &ScoreTable::namesToFourteenPoints, false},
    {'E', Chord::ShiftCtrlOrTab, &ScoreTable::toggleSeriesPulse, true},
    {'R', Chord::ShiftCtrlOrTab, &ScoreTable::toggleCountryPulse, true},
    // Release 0.99 only, so the last rows: a swap may change nothing the poll compares, so
    // it turns the poll off itself, or a held chord would swap again at the next tick. A
    // next match is no score to repeat: one press, one match.
    {'S', Chord::ShiftCtrlOrTab, &ScoreTable::swapSides, true, true},
    {'N', Chord::ShiftCtrlOrTab, &ScoreTable::nextMatchByHand, false, false, true},
};
constexpr std::size_t kDayChords = 2;  // the last rows of kChords: the swap and the next match

// Release 0.94: Ctrl+Shift chords without the Tab alternative, the pulses on Ctrl+Alt,
// and no repeat guard to arm (the poll's re-enable timer starts when the poll stops).
const ScoreTable::ChordRow ScoreTable::kChords094[] = {
    {'Q', Chord::ShiftCtrl, &ScoreTable::nextPortrait1, false},
    {'W', Chord::ShiftCtrl, &ScoreTable::nextPortrait2, false},
    {'V', Chord::ShiftCtrl, &ScoreTable::togglePortraits, false},
    {'1', Chord::ShiftCtrl, &ScoreTable::scoreUp1, false},
    {'2', Chord::ShiftCtrl, &ScoreTable::scoreUp2, false},
    {'8', Chord::ShiftCtrl, &ScoreTable::scoreDown1, false},
    {'9', Chord::ShiftCtrl, &ScoreTable::scoreDown2, false},
    {'0', Chord::ShiftCtrl, &ScoreTable::resetScores, false},
    {'7', Chord::ShiftCtrl, &ScoreTable::namesToFourteenPoints, false},
    {'E', Chord::CtrlAlt, &ScoreTable::toggleSeriesPulse, false},
    {'R', Chord::CtrlAlt, &ScoreTable::toggleCountryPulse, false},
    {'Q', Chord::CtrlAlt, &ScoreTable::PulseBestOf, false},
    {'W', Chord::CtrlAlt, &ScoreTable::PulseCountryNames, false},
};

std::span<const ScoreTable::ChordRow> ScoreTable::chordTable(const day::Features& features) {
    if (features.hasFirstChords()) return kChords094;
    const std::span<const ChordRow> all = kChords;
    return features.hasSwap() ? all : all.first(all.size() - kDayChords);
}

void ScoreTable::wireTimers() {
    timer4_.tag = kDown;
    timer5_.tag = kDown;
    timer1_.onTick = [this] { pollShortcuts(); };
    timer6_.onTick = [this] { repeatGuard(); };
    timer4_.onTick = [this] { PulseBestOf(); };
    timer5_.onTick = [this] { PulseCountryNames(); };
    inttimer4.onChange = [this] { speedChanged(inttimer4); };
    inttimer5.onChange = [this] { speedChanged(inttimer5); };
}

bool ScoreTable::hotkey(int key) {
    // The four states are queried afresh for every chord, in this order, and combined
    // bitwise: a key pressed since the last query counts as well as a key held.
    ui::Platform& keys = platform();
    const std::uint16_t ctrl = keys.asyncKeyState(ui::key::kControl);
    const std::uint16_t shift = keys.asyncKeyState(ui::key::kShift);
    const std::uint16_t tab = keys.asyncKeyState(ui::key::kTab);
    const std::uint16_t pressed = keys.asyncKeyState(key);
    return (((shift & ctrl) | tab) & pressed) != 0;
}

bool ScoreTable::chordHeld(Chord chord, int key) {
    ui::Platform& keys = platform();
    switch (chord) {
        case Chord::ShiftCtrlOrTab: return hotkey(key);
        case Chord::ShiftCtrl: {
            const std::uint16_t shift = keys.asyncKeyState(ui::key::kShift);
            const std::uint16_t ctrl = keys.asyncKeyState(ui::key::kControl);
            return (shift & ctrl & keys.asyncKeyState(key)) != 0;
        }
        case Chord::CtrlAlt: {
            const std::uint16_t ctrl = keys.asyncKeyState(ui::key::kControl);
            const std::uint16_t alt = keys.asyncKeyState(ui::key::kAlt);
            return (ctrl & alt & keys.asyncKeyState(key)) != 0;
        }
    }
    return false;
}

void ScoreTable::pollShortcuts() {
    oldscore1_ = T1.caption();
    oldscore2_ = T2.caption();
    oldgen1_ = gennum1;
    oldgen2_ = gennum2;

    const bool r094 = program_.features().hasFirstChords();
    bool paused = false;
    const std::span<const ChordRow> chords = chordTable(program_.features());
    for (std::size_t i = 0; i < chords.size(); ++i) {
        const ChordRow& row = chords[i];
        const bool held = chordHeld(row.chord, row.key);
        if (row.once) {
            const unsigned bit = 1u << i;
            const bool acted = (heldSinceActed_ & bit) != 0;
            heldSinceActed_ = held ? heldSinceActed_ | bit : heldSinceActed_ & ~bit;
            if (acted) continue;
        }
        if (!held) continue;
        (this->*row.effect)();
        if (row.guard) armGuard();
        paused = paused || row.pause;
    }

    // Unfolding the control menu takes Ctrl+Shift+I; Tab does not count here.
    ui::Platform& keys = platform();
    const std::uint16_t ctrl = keys.asyncKeyState(ui::key::kControl);
    const std::uint16_t shift = keys.asyncKeyState(ui::key::kShift);
    const std::uint16_t unfold = keys.asyncKeyState('I');
    // Every reference to the control menu creates it, hidden, if it was closed.
    control::ControlMenu& menu = program_.controlMenu();
    if ((ctrl & shift & unfold) != 0) menu.setExpansionCounter(menu.expansionCounter() + 1);
    menu.applyExpansion();

    keepScoresValid();
    Label1.setCaption(menu.tag());

    if (paused || T1.caption() != oldscore1_ || T2.caption() != oldscore2_ || gennum1 != oldgen1_ ||
        gennum2 != oldgen2_) {
        timer1_.setEnabled(false);
        // A score put right by the validity rules alone changes it too; without the guard
        // the poll would stay off and every chord dead.
        armGuard();
    }

    wrapPortraitNumbers();

    if (chordHeld(r094 ? Chord::ShiftCtrl : Chord::ShiftCtrlOrTab, 'A')) {
        placeTopmost();
        if (!r094) armGuard();
    }
}

void ScoreTable::keepScoresValid() {
    for (ui::Label* score : {&T1, &T2}) {
        const auto value = ui::parseNumber(score->caption());
        if (value && *value < 0) score->setCaption("0");
    }
    // Releases before 0.99 only put negative scores right.
    if (!program_.features().keepsScoresNumeric()) return;
    for (ui::Label* score : {&T1, &T2})
        if (!ui::isNumeric(score->caption())) score->setCaption("0");
}

bool ScoreTable::pressChord(int key) {
    for (const ChordRow& row : chordTable(program_.features())) {
        if (row.key != key) continue;
        (this->*row.effect)();
        applyChordRules();
        return true;
    }
    return false;
}

void ScoreTable::wrapPortraitNumbers() {
    if (gennum1 >= kLastPortrait) gennum1 = -1;
    if (gennum2 >= kLastPortrait) gennum2 = -1;
}

void ScoreTable::repeatGuard() {
    // Release 0.94's re-enable timer only turns the poll on again.
    if (!program_.features().hasFirstChords() && hotkey('A')) {
        placeTopmost();
        armGuard();
    }
    if (program_.features().alwaysSeeThrough()) MakeTransparent();
    timer1_.setEnabled(true);
    timer6_.setEnabled(false);
}

void ScoreTable::nextPortrait1() {
    ++gennum1;
    I1.setPicture(platform().loadPicture(portraitPath(portraitSet(1), gennum1)));
}

void ScoreTable::nextPortrait2() {
    ++gennum2;
    I2.setPicture(platform().loadPicture(portraitPath(portraitSet(2), gennum2)));
}

void ScoreTable::hidePortraits() {
    I1.setVisible(false);
    I2.setVisible(false);
}

void ScoreTable::togglePortraits() {
    I1.setVisible(!I1.visible());
    I2.setVisible(!I2.visible());
}

void ScoreTable::addToScore(int player, int delta) {
    ui::Label& shown = score(player);
    // A score that is not a number is left to the validity rules of the same tick.
    if (const auto value = ui::parseNumber(shown.caption())) shown.setCaption(ui::formatNumber(*value + delta));
    // The menu's box changes from its own number, so a difference between the two stays.
    // A box the operator left holding something else than a number is left as it is.
    control::ControlMenu& menu = program_.controlMenu();
    ui::TextBox& box = menu.scoreBox(player);
    if (const auto value = ui::parseNumber(box.text())) box.setText(ui::formatNumber(*value + delta));
}

void ScoreTable::resetScores() {
    T1.setCaption("0");
    T2.setCaption("0");
    control::ControlMenu& menu = program_.controlMenu();
    menu.Text3.setText("0");
    menu.Text4.setText("0");
}

void ScoreTable::PulseBestOf() {
    const double level = tagNumber(BO.tag());
    BO.setForeColor(grey(level));
    const double next = tagNumber(timer4_.tag) * kPulseStep + level;
    BO.setTag(ui::formatNumber(next));
    if (next > 245) timer4_.tag = kDown;
    if (next < 10) timer4_.tag = kUp;
}

void ScoreTable::PulseCountryNames() {
    const double level = tagNumber(LiveP1.tag());
    LiveP1.setForeColor(grey(level));
    LiveP2.setForeColor(LiveP1.foreColor());
    const double next = tagNumber(timer5_.tag) * kPulseStep + level;
    LiveP1.setTag(ui::formatNumber(next));
    if (next >= 245) timer5_.tag = kDown;
    if (next <= 10) timer5_.tag = kUp;
}

void ScoreTable::speedChanged(ui::TextBox& box) {
    // Emptying a box gives it "1"; that raises this handler again, which completes first.
    if (box.text().empty()) box.setText("1");
    // Text that is not a usable speed leaves both pulses as they were.
    if (!pulseInterval(box)) return;
    applyPulseIntervals();
}

void ScoreTable::applyPulseIntervals() {
    if (const auto interval = pulseInterval(inttimer4)) timer4_.setInterval(*interval);
    if (const auto interval = pulseInterval(inttimer5)) timer5_.setInterval(*interval);
}

}  // namespace quorvel::table
