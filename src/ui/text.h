#pragma once
// Text inside the program is UTF-8. Word lists arrive as UTF-8 (the shipped data) or in
// an 8-bit ANSI code page (operators' own files); these helpers tell them apart and
// split a file into its lines.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::ui {

bool isValidUtf8(std::string_view bytes);

// Windows-1251 (Cyrillic) to UTF-8; the ANSI code page where the system has none.
std::string cp1251ToUtf8(std::string_view bytes);

// Splits text into lines ended by CR LF (a lone CR or LF also ends a line). A terminator
// at the very end adds no entry; an empty line inside is an entry of empty text.
std::vector<std::string> splitLines(std::string_view text);
// The same lines as views into `text`.
std::vector<std::string_view> lineViews(std::string_view text);

// The text without the blanks (spaces and tabs) at its two ends.
std::string_view trimmed(std::string_view text);

// ASCII comparisons apart from case, for the words of protocols and file names (header
// values, "Bearer", ".png", device names); names people type go through foldCase.
bool equalNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view start);
bool endsWithNoCase(std::string_view text, std::string_view ending);

// The text with its capital letters made small, for comparing names without regard to
// case: Latin (with the accented letters of Latin-1 and Latin Extended-A) and Cyrillic,
// Ё and the Ukrainian letters included; the dotted capital İ is i. Every other character,
// and every byte that is not part of valid UTF-8, is kept as it is.
std::string foldCase(std::string_view text);

}  // namespace quorvel::ui
