#pragma once
// Readers of the program's text files. Each file is read whole at the moment it is
// needed and never written. Text is taken as UTF-8 when it is valid UTF-8 (a leading byte
// order mark is skipped) and otherwise in the system's ANSI code page. Every failure
// throws quorvel::Error naming the file and, where there is one, the line.
#include <string>
#include <vector>

#include "day/settings.h"
#include "ui/platform.h"

namespace quorvel::day {

constexpr int kMaxLanguages = 11;
constexpr int kMaxCountries = 301;

// The text of a text file as UTF-8, whatever its encoding.
std::string readText(ui::Platform& platform, const std::string& path);
// The lines of a text file (see ui::splitLines for the line rules).
std::vector<std::string> readTextLines(ui::Platform& platform, const std::string& path);

// A word list of at most `maxEntries` lines; `what` names the list in the message when a
// line beyond the bound is found.
std::vector<std::string> readWordList(ui::Platform& platform, const std::string& path, int maxEntries);

// Reads the settings file in groups of `groupLength` lines (13, or fewer in earlier
// releases) into the first lines of the record; the last group wins. A line count that is
// not a whole number of groups fails as a read past the end of the file.
void readOptions(ui::Platform& platform, const std::string& path, int groupLength, Settings& settings);

// Each line of a player-name file replaces the name, so the last line wins; an empty file
// leaves it as it was. A relative path is taken from the current folder when the file is
// there, else from the program folder.
void readPlayerName(ui::Platform& platform, const Setting& file, Setting& name);

}  // namespace quorvel::day
