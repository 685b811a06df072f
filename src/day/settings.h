#pragma once
// The settings record: one per program, in memory only, filled from the settings file
// `Options.ini` by the start dialog's load. Each value keeps the text that was read and
// where it came from, so that a value that is not a number when first used fails with a
// message naming the file, the line and the value.
#include <string>

namespace quorvel::day {

struct Setting {
    std::string text;
    // "<file>, line <n>" for a value read from a file; empty for one set during the run.
    std::string origin;
};

struct Settings {
    Setting Language;  // a language index when read; the language's name from then on
    Setting Player1Name;
    Setting Player2Name;
    Setting Player1Color;  // index into the colour palette
    Setting Player2Color;
    Setting Player1Country;  // index into the country list
    Setting Player2Country;
    Setting BestOf;  // series caption
    Setting Reserved;  // line 9: read and ignored
    Setting Player1NameFile;
    Setting Player2NameFile;
    Setting TableBackColor;  // colour value as a decimal number
    Setting TableBorderStyle;  // frame kind 0 to 5

    static constexpr int kLineCount = 13;
    // The field fed by line `line` (1 to 13) of a group.
    Setting& line(int line);
    // Player `player`'s (1 or 2) colour.
    Setting& playerColour(int player) { return player == 1 ? Player1Color : Player2Color; }
};

// The setting's value as a number; throws quorvel::Error naming its origin and text when
// it is not one.
double settingNumber(const Setting& setting, const std::string& what);
// The setting as a whole number within [low, high]; throws quorvel::Error naming its
// origin when it is not a whole number or out of range.
int settingInteger(const Setting& setting, const std::string& what, int low, int high);

}  // namespace quorvel::day
