#pragma once
// Layer table/: a window. It includes day/, ui/ and program/, and the headers of the
// two windows its chords and gestures reach through program/'s accessors.
// The score table: the 534 x 84 pixel window that lies over the game. For each player a
// general portrait, a colour bar, a name plate, a score, a flag and a country name; in
// the middle the battle emblem and the series caption. Hidden holder labels keep values
// that the other windows share.
#include <span>
#include <string>

#include "day/game_order.h"
#include "day/release.h"
#include "ui/form.h"

namespace quorvel::program {
class Program;
}

namespace quorvel::start {
class StartDialog;
}

namespace quorvel::table {

class ScoreTable : public ui::Form {
    program::Program& program_;

public:
    explicit ScoreTable(program::Program& program);

    // Drawn controls, back to front. Releases before 0.99 have no BOShadow, SC12, SC22.
    ui::Label* BOShadow;  // shadow of the series caption
    ui::Shape& SC1;       // main colour bar of player 1
    ui::Shape& SC2;
    ui::Shape* SC22;  // second colour bar of player 2, hidden at creation
    ui::Shape* SC12;
    ui::Image& F1;  // flag of player 1
    ui::Image& F2;
    ui::Label& BO;  // series caption
    ui::Shape& Shape1;  // name plate of player 1
    ui::Shape& Shape2;
    ui::Label& P1;  // name of player 1
    ui::Label& P2;
    ui::Label& T1;  // score of player 1
    ui::Label& T2;
    ui::Label& LiveP2;  // country name of player 2
    ui::Label& LiveP1;
    ui::Image& Image2;  // battle emblem
    ui::Image& I2;      // general portrait of player 2
    ui::Image& I1;
    // Country lists, above everything while shown.
    ui::ComboBox& Combo1;
    ui::ComboBox& Combo2;
    // Hidden holders of shared values.
    ui::Label& Label4;  // player 1's portrait set
    ui::Label& Label5;  // player 2's portrait set; tag: player 1's colour index
    ui::Label& Label6;  // tag: player 2's colour index
    ui::Label& Label1;  // caption: control menu expansion counter; back colour: background colour
    ui::Label& Label2;  // screenshot file path
    ui::Label& Label3;  // capture interval text
    ui::Label& Language1;  // the language name
    ui::Label& moveformmouse;  // button mask of the last pointer move over the emblem
    ui::TextBox& inttimer4;  // pulse speed of the series caption
    ui::TextBox& inttimer5;  // pulse speed of the country names
    ui::PictureBox& picturegen;  // spare picture while the portraits are exchanged

    // Each player's controls by what they are; `player` is 1 or 2.
    ui::Label& playerName(int player) const { return player == 1 ? P1 : P2; }
    ui::Label& score(int player) const { return player == 1 ? T1 : T2; }
    ui::Image& flag(int player) const { return player == 1 ? F1 : F2; }
    ui::Label& countryName(int player) const { return player == 1 ? LiveP1 : LiveP2; }
    ui::ComboBox& countryList(int player) const { return player == 1 ? Combo1 : Combo2; }
    ui::Image& portrait(int player) const { return player == 1 ? I1 : I2; }
    ui::Shape& colourBar(int player) const { return player == 1 ? SC1 : SC2; }
    // The hidden label whose caption names the player's portrait set ("Origin\", "P1\"
    // or "P2\"), as portraitPath takes it.
    ui::Label& portraitSet(int player) const { return player == 1 ? Label4 : Label5; }
    // The palette swatch of the player's colour, its index as text; the hidden labels'
    // tags keep it, where the start dialog's settings and the menu's swatches find it.
    const std::string& colourSwatch(int player) const { return swatchHolder(player).tag(); }
    void setColourSwatch(int player, std::string swatch) { swatchHolder(player).setTag(std::move(swatch)); }
    // The capture settings as the control menu's "OK" left them: the file's path (the
    // holder's own name "Label2" while none was given), the interval's text and the
    // background colour.
    const std::string& capturePath() const { return Label2.caption(); }
    const std::string& captureIntervalText() const { return Label3.caption(); }
    ui::Color backgroundColour() const { return Label1.backColor(); }
    void setCapturePath(std::string path) { Label2.setCaption(std::move(path)); }
    void setCaptureIntervalText(std::string tenths) { Label3.setCaption(std::move(tenths)); }
    void setBackgroundColour(ui::Color colour) { Label1.setBackColor(colour); }

    // The table's timers. Timer1 polls the key chords every 10 ms; Timer6 is the repeat
    // guard that turns the poll on again 600 ms after a chord changed a score or a
    // portrait (release 0.94 has Timer2 instead: 300 ms, off until the poll stops);
    // Timer4 and Timer5 drive the grey pulses of the series caption and the country
    // names; Timer3 takes the control menu's capture interval and captures the table
    // on each tick.
    ui::Timer& Timer1() { return timer1_; }
    ui::Timer& Timer6() { return timer6_; }  // the repeat guard, Timer2 in release 0.94
    ui::Timer& Timer4() { return timer4_; }
    ui::Timer& Timer5() { return timer5_; }
    ui::Timer& Timer3() { return timer3_; }

    // The language the country lists were read in: its flags are the ones to show, even
    // when the start dialog has since read the settings again.
    std::string countryLanguage;
    // "GO!!!": the country lists read again in `language`, each player's saved country
    // selected (which loads its flag) and named, and the main colour bars in the start
    // dialog's colours.
    void loadCountryList(const std::string& language, ui::Color colour1, ui::Color colour2);

    // The games of the match in the order their points were scored, as far as seen.
    const day::GameOrder& games() const { return games_; }
    // The menu's "OK" set scores other than the table's: their games have no order.
    void scoresTyped() { games_.typed(); }

    // Portrait numbers that the keyboard chords step through.
    int gennum1 = 0;
    int gennum2 = 0;
    // The colour bars are in the second layout (the control menu's Picture4). Kept with
    // the bars it describes: a new table starts in the normal layout with the flag false.
    bool barLayoutFlag = false;

    // One step of the series caption's pulse (a tick of Timer4) and of the country
    // names' pulse (a tick of Timer5).
    void PulseBestOf();
    void PulseCountryNames();
    // Sets the pulse intervals from the speed boxes: 2 ms for each whole unit. A box that
    // holds no usable number leaves its timer's interval as it is.
    void applyPulseIntervals();

    // Frame kind from the settings (release 0.99), applied to the window.
    void applyBorderStyle();
    // Turns the see-through mode on: background and colour key RGB(1,1,1).
    void MakeTransparent();
    // The path of portrait `number` in the set that `holder` names.
    std::string portraitPath(const ui::Label& holder, int number);
    // Keeps the file that the holder Label2 names ("OK" sets it) in step with `window`'s
    // picture (ui::CaptureFile), in the format its name asks for (ui::imageFormatFor). A capture that fails shows its reason once and
    // stops Timer3's captures until the control menu's "OK" starts them again.
    void Capture(ui::Form& window);
    // The control menu's "OK": Timer3's captures start again, and the next one writes the
    // file even when the table has not changed.
    void restartCaptures();
    // Timer3's interval from a capture interval in tenths of a second; text that is not
    // a number, or a value the timer cannot take, leaves the interval as it was.
    void setCaptureInterval(const std::string& tenths);
    // Timer3 captures at most once in this many milliseconds.
    static constexpr int kShortestCaptureInterval = 100;

    // Copies the names into the start dialog, loading it (hidden) if it is unloaded, and
    // shows it: the control menu's way back, which then closes the table and the menu.
    void showStartDialogWithNames();
    // The roster's players among the two names set up as the roster gives them, through
    // the control menu's ways of setting each by hand ("GO!!!").
    void applyRosterNames();

    // One press of the chord on `key` from another way in than the keyboard (the remote
    // control): the effect of the first row for that key in the release's chord table,
    // then the rules the poll applies after the chords (scores put right, portrait numbers
    // wrapped). The repeat guard, which paces a held key, is left alone. Returns false
    // when the release has no chord on the key.
    bool pressChord(int key);
    // The match's operations from another way in than the keyboard (the remote control):
    // each the effect its chord has, then the rules the poll applies after the chords,
    // and, as with pressChord, the repeat guard left alone.
    void stepScore(int player, int delta) {
        addToScore(player, delta);
        applyChordRules();
    }
    void showNextPortrait(int player) {
        player == 1 ? nextPortrait1() : nextPortrait2();
        applyChordRules();
    }
    void resetMatchScores() {
        resetScores();
        applyChordRules();
    }
    void setSeriesPulse(bool on) {
        if (timer4_.enabled() != on) toggleSeriesPulse();
        applyChordRules();
    }
    void setCountryPulse(bool on) {
        if (timer5_.enabled() != on) toggleCountryPulse();
        applyChordRules();
    }
    // Player `player`'s country: place `index` of the list picked, as the operator picks it.
    void pickCountry(int player, int index) { countryList(player).setListIndex(index); }
    // The player has no country: no place in the list, no flag, no country name.
    void clearCountry(int player);
    // The emblem's Alt + right press: every element shown again, the country lists hidden.
    void showAll();
    // Both general portraits hidden: the chord "V" from release 0.97 on.
    void hidePortraits();
    // Exchanges everything of the two players: names with their font sizes, scores with
    // the menu's score boxes, colours (each to the swatch of the same name on the other
    // side; player 1's White, which player 2's half lacks, stays White), countries with
    // their flags, portraits with their sets, and which of these are shown. The series
    // caption and everything else stay; swapping twice gives back the table as it was.
    void swapSides();

    // The day's schedule (release 0.99). What "next match" or "go to match" did.
    enum class MatchStep { Loaded, NoSchedule, DayOver, PlayerNotKnown };
    // Leaves the current match, its result recorded (day::MatchDay::finish), reads the
    // day's files again where they changed (program::Program::readDayFiles), and puts
    // match `index` (from 0) on the table as a new match: both players' names, each with
    // what the roster gives (as GO!!! applies them), both scores and the menu's score
    // boxes 0 (the chord 0), the series caption when the schedule gives one (as the menu's
    // "OK"), player 1 on the left. An index beyond the schedule changes nothing.
    MatchStep goToMatch(std::size_t index);
    // goToMatch of the match the day takes next; at the day's end the current match's
    // result is recorded and the table left as it is.
    MatchStep nextMatch();
    // The chord N and the control menu's button: nextMatch, telling the operator of the
    // day's end.
    void nextMatchByHand();

private:
    // Copies the names into the start dialog, loading it (hidden) if it is unloaded.
    start::StartDialog& namesToStartDialog();
    ui::Label& swatchHolder(int player) const { return player == 1 ? Label5 : Label6; }

    // Reads the country file of the language in force into the country list, from index 0
    // upwards, appending each name to the two lists, and notes the language the lists are
    // in. Returns the number of countries and the file's path.
    struct CountryFile {
        std::string path;
        int count;
    };
    CountryFile fillCountryLists();

    // Records the current match's result from the table, telling the operator of a
    // refusal to write it.
    void finishMatch();
    // finishMatch, then the day's files read again where they changed: the next match is
    // taken from the day as the operator left it.
    void leaveMatch();
    // Puts match `index` of the day on the table as a new match (goToMatch's second half).
    void setUpMatch(std::size_t index);

    void onLoad() override;
    void onActivate() override;
    void onControlChanged(const ui::Control& control, unsigned changes) override;
    // Draws a country name whole: a name wider than its label as laid out widens it toward
    // the middle, as far as the series caption's edge; a name wider than that is drawn
    // smaller, down to kSmallestCountrySize of the size, and then cut off.
    void fitCountryName(ui::Label& name, const ui::Rect& laidOut, bool towardRight);
    static constexpr double kSmallestCountrySize = 0.8;
    void onCloseRequest() override;
    bool seeThroughSetting();
    // Release 0.94's Timer3 tick: the background from the holder Label1, and the interval
    // from the holder Label3 while the menu's interval box holds a number from 0 to 999
    // (both excluded); otherwise the box is set to "0", which stops the timer.
    void refreshFromCaptureSettings();
    // --- Pointer gestures ---
    void wireGestures();
    // Alt or Shift held now, or pressed since the last query of the key.
    bool altDown();
    bool shiftDown();
    void scoreClicked(int player, int delta);  // changes the score and mirrors it
    void scorePressed(int player, const ui::MouseEvent& e);
    void namePressed(ui::Label& name, const ui::MouseEvent& e);
    void flagPressed(const ui::MouseEvent& e);
    void toggleCountryLists();
    // The flag and country name of the country chosen in a list.
    void countryChosen(ui::ComboBox& list, ui::Image& flag, ui::Label& name);
    void seriesPressed(const ui::MouseEvent& e);
    void portraitClicked();
    // Player `player`'s own portrait of general `general`, for the pick strip.
    ui::PicturePtr stripPortrait(int player, int general);
    void pickStrip(int player, const ui::MouseEvent& e);
    void emblemPressed(const ui::MouseEvent& e);
    void emblemMoved(const ui::MouseEvent& e);
    void backToStartDialog();
    void toggleSeriesCaption();

    // --- Key chords and timers ---
    // How a chord's key is held: with Ctrl+Shift or with Tab; with Ctrl+Shift only; with
    // Ctrl+Alt.
    enum class Chord { ShiftCtrlOrTab, ShiftCtrl, CtrlAlt };
    // One row of the chord table: the key, how it is held, its effect, and whether it
    // arms the repeat guard.
    struct ChordRow {
        int key;
        Chord chord;
        void (ScoreTable::*effect)();
        bool guard;
        // Turns the poll off until the repeat guard turns it on again, whatever changed.
        bool pause = false;
        // Acts once a press: again only after the key was seen released.
        bool once = false;
    };
    static const ChordRow kChords[];
    static const ChordRow kChords094[];  // release 0.94
    // The chord table of `release`.
    static std::span<const ChordRow> chordTable(const day::Features& features);

    void wireTimers();
    void pollShortcuts();  // a tick of Timer1
    void repeatGuard();    // a tick of Timer6
    // A key held with Ctrl+Shift, or with Tab.
    bool hotkey(int key);
    bool chordHeld(Chord chord, int key);
    void armGuard() { timer6_.setEnabled(true); }
    void keepScoresValid();
    // After picture 12 the next chord shows picture 0.
    void wrapPortraitNumbers();
    // What the poll puts right after its chords: the scores, the portrait numbers.
    void applyChordRules() {
        keepScoresValid();
        wrapPortraitNumbers();
    }
    void speedChanged(ui::TextBox& box);

    // Chord effects.
    void nextPortrait1();
    void nextPortrait2();
    void scoreUp1() { addToScore(1, +1); }
    void scoreUp2() { addToScore(2, +1); }
    void scoreDown1() { addToScore(1, -1); }
    void scoreDown2() { addToScore(2, -1); }
    void resetScores();
    void namesToFourteenPoints();
    void toggleSeriesPulse() { timer4_.setEnabled(!timer4_.enabled()); }
    void toggleCountryPulse() { timer5_.setEnabled(!timer5_.enabled()); }
    void togglePortraits();  // release 0.94's "V": each portrait on its own
    // Adds `delta` to a player's score on the table and, from its own number, to the
    // control menu's score box of that player.
    void addToScore(int player, int delta);

    day::GameOrder games_;
    ui::Timer& timer1_;
    ui::Timer& timer6_;
    ui::Timer& timer4_;
    ui::Timer& timer5_;
    ui::Timer& timer3_;
    // Milliseconds of Timer3's ticks since its last capture.
    int sinceCapture_ = 0;

    // The rows acting once a press whose key is still held since they acted, a bit each.
    unsigned heldSinceActed_ = 0;
    // Copies taken at the start of each poll tick.
    std::string oldscore1_;
    std::string oldscore2_;
    int oldgen1_ = 0;
    int oldgen2_ = 0;
    // The pointer's screen position at the last move over the emblem, in pixels.
    ui::Point cursor_{0, 0};
};

}  // namespace quorvel::table
