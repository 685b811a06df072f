#pragma once
// The release a program is built as, and what each release has. The four programs share
// every source; the release is fixed when each is built and passed to the application
// object. The code asks for a feature by its name (Features), never for a release number.
#include <optional>
#include <string>

#include "ui/platform.h"

namespace quorvel::day {

enum class Release { R099, R097Transparent, R097Window, R094Window };

// Lines per group of the settings file: 13 in release 0.99, 11 in 0.97, 9 in 0.94.
int optionsGroupLength(Release release);
// "Quorvel 0.99" and so on: window titles and message box titles.
std::string productTitle(Release release);
// "v 0.9.9" and so on: the start dialog's version label.
std::string versionLabel(Release release);

class Features {
public:
    constexpr explicit Features(Release release) : release_(release) {}

    Release release() const { return release_; }
    std::string title() const { return productTitle(release_); }
    int optionsGroupLength() const { return day::optionsGroupLength(release_); }

    // The day of the operator (0.99): the roster (Players.csv, its names offered in the
    // name boxes, its players set up whole), the schedule with its results (Matches.csv,
    // next match), the swap of the sides, and their chords and remote actions.
    bool hasRoster() const { return latest(); }
    bool hasSchedule() const { return latest(); }
    bool hasSwap() const { return latest(); }
    // A problem that ends nothing is a notice while a match runs (0.99); the earlier
    // releases show each in a box at once.
    bool hasNotices() const { return latest(); }
    // The players' names read from their name files at the start dialog's load (not 0.94).
    bool readsNameFiles() const { return release_ != Release::R094Window; }

    // The table's frame and see-through from the settings (0.99); the earlier releases
    // fix it: the frame they are built with, and see-through only in 0.97 frameless.
    bool hasFrameSetting() const { return latest(); }
    ui::BorderStyle fixedFrame() const;
    bool alwaysSeeThrough() const { return release_ == Release::R097Transparent; }
    // The table's background colour from the settings, and the menu showing it (0.99);
    // the earlier releases keep the chosen background in a holder label only.
    bool hasTableBackground() const { return latest(); }
    // The menu's "OK" paints the chosen background on the table (not 0.97).
    bool okPaintsBackground() const { return !is097(); }
    // The series caption's shadow and the second colour bar of each player, with the
    // swatch presses and bar clicks that set and show them (0.99).
    bool hasSeriesShadow() const { return latest(); }
    bool hasSecondColourBars() const { return latest(); }

    // Scores are kept numbers (0.99): the menu's score boxes take only numbers and the
    // poll puts a score that is not one back to 0; a double-click on a score box shows or
    // hides the scores.
    bool keepsScoresNumeric() const { return latest(); }
    bool scoreBoxesToggleScores() const { return latest(); }
    // Shift with a click on a portrait swaps the two portraits (0.99).
    bool portraitClickSwaps() const { return latest(); }

    // The first release's own keyboard and gestures (0.94): Ctrl+Shift chords only, its
    // own repeat timer, whose end only turns the poll on again, a right press that may
    // take a score below 0 until the next tick, no middle-button reset, no pick strip,
    // no double-click on player 2's portrait, no Shift-click on the series caption, and an
    // emblem that neither moves the table nor restarts the poll.
    bool hasFirstChords() const { return first(); }
    bool hasPickStrip() const { return !first(); }
    bool hasMiddleReset() const { return !first(); }
    bool rightPressStopsAtZero() const { return !first(); }
    bool emblemDragsTable() const { return !first(); }
    bool seriesShiftClickTogglesCountries() const { return !first(); }
    // The menu's colour labels follow the table's bars when activated (not 0.94).
    bool colourLabelsFollowBars() const { return !first(); }
    // A double-click on the bar layout button hides or shows the main bars (0.94 only).
    bool barLayoutDoubleClickTogglesBars() const { return first(); }
    // The capture timer reads the holder labels again at each tick (0.94 only).
    bool captureRereadsHolders() const { return first(); }
    // Shift+right on the table ends the program at once, without closing the windows
    // first (0.94 only).
    bool quitsAtOnce() const { return first(); }
    // The start dialog is centred across the screen's width (not 0.94, which puts it
    // further right).
    bool centresStartDialog() const { return !first(); }

private:
    bool latest() const { return release_ == Release::R099; }
    bool first() const { return release_ == Release::R094Window; }
    bool is097() const { return release_ == Release::R097Transparent || release_ == Release::R097Window; }

    Release release_;
};

}  // namespace quorvel::day
