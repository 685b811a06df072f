// Pointer gestures on the score table: scores, names, flags and the series caption; the
// country lists and the general portraits with their pick strip below the table; and the
// battle emblem, the table's handle and command button.
//
// Presses carry the one button that changed and the modifier mask of that moment; moves
// carry the mask of all buttons held. "Alt is down" and "Shift is down" are read from the
// global key state afresh at each test, as the operator may press them between events.
#include "program/program.h"
#include "control/control_menu.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

using ui::mouse::kLeft;
using ui::mouse::kMiddle;
using ui::mouse::kRight;
constexpr int kShiftAlone = ui::modifier::kShift;

constexpr double kNameMinPoints = 8;
constexpr double kNameMaxPoints = 18;
constexpr double kNameResetPoints = 14;
constexpr int kShadowNudge = 10;  // twips

// The pick strip lies below each portrait, reached by dragging down past the table.
constexpr int kStripTop = 2000;   // active where the pointer is further below the portrait
constexpr int kStripCell = 1500;  // twips a cell
constexpr int kStripOffset1 = 7000;
constexpr int kStripOffset2 = 12000;
constexpr int kLastGeneral = 12;
constexpr int kLastStripColour = 9;  // player 1's half of the palette

// While dragging the table, its top edge stays this far above the pointer.
constexpr int kDragTopAbovePointer = 400;

void toggle(ui::Control& control) { control.setVisible(!control.visible()); }

}  // namespace

bool ScoreTable::altDown() { return platform().asyncKeyState(ui::key::kAlt) != 0; }

bool ScoreTable::shiftDown() { return platform().asyncKeyState(ui::key::kShift) != 0; }

void ScoreTable::wireGestures() {
    // Scores
    T1.onDblClick = [this] { scoreClicked(1, +1); };
    T2.onDblClick = [this] { scoreClicked(2, +1); };
    T1.onMouseDown = [this](const ui::MouseEvent& e) { scorePressed(1, e); };
    T2.onMouseDown = [this](const ui::MouseEvent& e) { scorePressed(2, e); };

    // Names: a double-click opens the control menu unless Alt or Shift is down.
    P1.onMouseDown = [this](const ui::MouseEvent& e) { namePressed(P1, e); };
    P2.onMouseDown = [this](const ui::MouseEvent& e) { namePressed(P2, e); };
    const auto openMenuFromName = [this] {
        if (!altDown() && !shiftDown()) program_.controlMenu().show();
    };
    P1.onDblClick = openMenuFromName;
    P2.onDblClick = openMenuFromName;

    // Flags and the country lists
    for (ui::Image* flag : {&F1, &F2}) {
        flag->onDblClick = [this] { toggleCountryLists(); };
        flag->onMouseDown = [this](const ui::MouseEvent& e) { flagPressed(e); };
    }
    Combo1.onClick = [this] { countryChosen(Combo1, F1, LiveP1); };
    Combo2.onClick = [this] { countryChosen(Combo2, F2, LiveP2); };

    // The series caption and its shadow
    BO.onMouseDown = [this](const ui::MouseEvent& e) { seriesPressed(e); };

    // Portraits: a click with Alt hides both, with Shift swaps them; a double-click opens
    // the control menu whatever keys are down; a drag below the table picks a general.
    // Release 0.94 has no pick strip and no double-click on player 2's portrait.
    const bool hasPickStrip = program_.features().hasPickStrip();
    for (ui::Image* portrait : {&I1, &I2}) {
        portrait->onClick = [this] { portraitClicked(); };
        if (portrait == &I1 || hasPickStrip) portrait->onDblClick = [this] { program_.controlMenu().show(); };
    }
    if (hasPickStrip) {
        I1.onMouseMove = [this](const ui::MouseEvent& e) { pickStrip(1, e); };
        I2.onMouseMove = [this](const ui::MouseEvent& e) { pickStrip(2, e); };
    }

    // The battle emblem
    Image2.onMouseDown = [this](const ui::MouseEvent& e) { emblemPressed(e); };
    Image2.onMouseMove = [this](const ui::MouseEvent& e) { emblemMoved(e); };
}

// --- Scores ---

void ScoreTable::scoreClicked(int player, int delta) {
    ui::Label& shown = score(player);
    // A score that is not a number is put right by the key poll's next tick.
    const auto value = ui::parseNumber(shown.caption());
    if (!value) return;
    shown.setCaption(ui::formatNumber(*value + delta));
    control::ControlMenu& menu = program_.controlMenu();
    menu.scoreBox(player).setText(shown.caption());
}

void ScoreTable::scorePressed(int player, const ui::MouseEvent& e) {
    // Release 0.94 subtracts on every right press (the poll puts a negative score right at
    // its next tick) and has no middle-button reset.
    const day::Features& has = program_.features();
    if (e.button == kRight) {
        const auto value = ui::parseNumber(score(player).caption());
        // A right press never takes a score below 0.
        if (value && (*value > 0 || !has.rightPressStopsAtZero())) scoreClicked(player, -1);
    }
    if (e.button == kMiddle && has.hasMiddleReset()) resetScores();
}

// --- Names ---

void ScoreTable::namePressed(ui::Label& name, const ui::MouseEvent& e) {
    if (e.button == kLeft && e.shift == kShiftAlone) name.setFontSize(name.font().size + 1);
    if (e.button == kRight && e.shift == kShiftAlone) name.setFontSize(name.font().size - 1);
    if (altDown()) namesToFourteenPoints();
    // Only the pressed name is kept within its bounds.
    if (name.font().size < kNameMinPoints) name.setFontSize(kNameMinPoints);
    if (name.font().size > kNameMaxPoints) name.setFontSize(kNameMaxPoints);
}

void ScoreTable::namesToFourteenPoints() {
    P1.setFontSize(kNameResetPoints);
    P2.setFontSize(kNameResetPoints);
}

// --- Flags, country names and country lists ---

void ScoreTable::toggleCountryLists() {
    toggle(Combo1);
    toggle(Combo2);
}

void ScoreTable::flagPressed(const ui::MouseEvent& e) {
    if (e.button == kLeft && e.shift == kShiftAlone) toggleCountryLists();
    if (e.button == kRight && (e.shift == kShiftAlone || altDown())) {
        for (ui::Control* c : {static_cast<ui::Control*>(&F1), static_cast<ui::Control*>(&F2),
                               static_cast<ui::Control*>(&LiveP1), static_cast<ui::Control*>(&LiveP2),
                               static_cast<ui::Control*>(&Combo1), static_cast<ui::Control*>(&Combo2)})
            c->setVisible(false);
    }
    if (e.button == kLeft && altDown()) {
        toggle(LiveP1);
        toggle(LiveP2);
    }
}

void ScoreTable::countryChosen(ui::ComboBox& list, ui::Image& flag, ui::Label& name) {
    const int index = list.listIndex();
    // With no entry selected there is no country: the flag and name stay as they are.
    if (index < 0) return;
    const std::string& country = program_.countries().at(static_cast<std::size_t>(index));
    const std::string& language = countryLanguage;
    flag.setPicture(platform().loadPicture(program_.path("\\pic\\flags\\" + language + "\\" + country + ".gif")));
    name.setCaption(country);
}

// --- The series caption ---

void ScoreTable::seriesPressed(const ui::MouseEvent& e) {
    if (e.button == kLeft && e.shift == kShiftAlone) {
        BO.setVisible(false);
        if (BOShadow) BOShadow->setVisible(false);
    }
    if (!BOShadow) return;
    if (e.button == kMiddle && e.shift == 0) BOShadow->setTop(BOShadow->rect().top - kShadowNudge);
    if (e.button == kMiddle && e.shift == kShiftAlone) BOShadow->setTop(BOShadow->rect().top + kShadowNudge);
}

// --- Portraits and the pick strip ---

void ScoreTable::portraitClicked() {
    if (altDown()) {
        I1.setVisible(false);
        I2.setVisible(false);
    }
    if (program_.features().portraitClickSwaps() && shiftDown()) {
        // The spare picture box keeps player 1's portrait of the swap afterwards.
        picturegen.setPicture(I1.picture());
        I1.setPicture(I2.picture());
        I2.setPicture(picturegen.picture());
    }
}

ui::PicturePtr ScoreTable::stripPortrait(int player, int general) {
    // The pick strip always takes the players' own folders, whatever portrait sets the
    // control menu chose.
    return platform().loadPicture(program_.path(std::string(player == 1 ? "\\pic\\gen\\P1\\" : "\\pic\\gen\\P2\\") +
                                            std::to_string(general) + ".gif"));
}

void ScoreTable::pickStrip(int player, const ui::MouseEvent& e) {
    if (e.y <= kStripTop) return;
    const int offset = player == 1 ? kStripOffset1 : kStripOffset2;
    const auto r = ui::toInt(ui::roundHalfEven(static_cast<double>(e.x) + offset));
    if (!r) return;
    const int cell = *r / kStripCell;  // truncated toward zero
    const bool general = cell >= 0 && cell <= kLastGeneral;

    if (e.button == kLeft && general) portrait(player).setPicture(stripPortrait(player, cell));
    if (e.button == kRight && cell >= 0 && cell <= kLastStripColour)
        colourBar(player).setFillColor(program_.controlMenu().C1(cell).backColor());
    if (e.button == kLeft && general && altDown()) {
        I1.setPicture(stripPortrait(1, cell));
        I2.setPicture(stripPortrait(2, cell));
    }
    if (e.button == kMiddle) {
        I1.setPicture(stripPortrait(1, kLastGeneral));
        I2.setPicture(stripPortrait(2, kLastGeneral));
    }
}

// --- The battle emblem ---

void ScoreTable::emblemPressed(const ui::MouseEvent& e) {
    ui::Platform& keys = platform();
    const std::uint16_t alt = keys.asyncKeyState(ui::key::kAlt);
    const std::uint16_t ctrl = keys.asyncKeyState(ui::key::kControl);
    if ((alt & ctrl) != 0) {
        backToStartDialog();
        return;  // the table is gone: nothing else of this press
    }
    if (e.button == kLeft && altDown()) toggleSeriesCaption();
    if (e.button == kRight && altDown()) showAll();
    if (e.button == kLeft && e.shift == kShiftAlone) {
        toggle(inttimer4);
        toggle(inttimer5);
    }
    if (e.button == kRight && e.shift == kShiftAlone) {
        // Release 0.94 ends at once, without closing the windows first.
        if (program_.features().quitsAtOnce())
            program_.runtime().quit(0);
        else
            program_.quit();
    }
}

start::StartDialog& ScoreTable::namesToStartDialog() {
    const std::string name1 = P1.caption();
    const std::string name2 = P2.caption();
    // An unloaded start dialog loads again here, hidden, with its whole start-up sequence.
    start::StartDialog& dialog = program_.startDialog();
    dialog.Text1.setText(name1);
    dialog.Text2.setText(name2);
    return dialog;
}

void ScoreTable::showStartDialogWithNames() { namesToStartDialog().show(); }

void ScoreTable::applyRosterNames() { program_.controlMenu().applyRosterNames(); }

void ScoreTable::backToStartDialog() {
    start::StartDialog& dialog = namesToStartDialog();
    program_.unloadTable();
    dialog.show();
}

void ScoreTable::toggleSeriesCaption() {
    BO.setVisible(!BO.visible());
    if (BOShadow) BOShadow->setVisible(BO.visible());
}

void ScoreTable::showAll() {
    BO.setVisible(true);
    if (BOShadow) BOShadow->setVisible(BO.visible());
    for (ui::Control* c : {static_cast<ui::Control*>(&I1), static_cast<ui::Control*>(&I2),
                           static_cast<ui::Control*>(&F1), static_cast<ui::Control*>(&F2)})
        c->setVisible(true);
    Combo1.setVisible(false);
    Combo2.setVisible(false);
    LiveP1.setVisible(true);
    LiveP2.setVisible(true);
}

void ScoreTable::emblemMoved(const ui::MouseEvent& e) {
    applyPulseIntervals();
    // In release 0.94 the emblem neither restarts the poll nor moves the table.
    if (!program_.features().emblemDragsTable()) return;
    timer1_.setEnabled(false);
    timer1_.setEnabled(true);
    cursor_ = platform().cursorPos();
    moveformmouse.setCaption(ui::formatNumber(static_cast<long long>(e.button)));
    if (e.button == (kLeft | kRight)) {
        // The table follows the pointer: centred on it, its top edge a little above it.
        const int left = ui::pixelsToTwips(cursor_.x) - ui::toInt(width() / 2.0).value_or(0);
        move(left, ui::pixelsToTwips(cursor_.y) - kDragTopAbovePointer);
    }
    if (e.button == kMiddle) {
        // Reading the start dialog's position loads it, hidden, when it is unloaded, which
        // puts it at its start-up position; it then stays loaded.
        const start::StartDialog& dialog = program_.startDialog();
        move(dialog.left(), dialog.top());
    }
}

}  // namespace quorvel::table
