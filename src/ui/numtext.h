#pragma once
// Numbers shown as text: scores, tags, counters and settings are decimal text, and every
// handler converts them through these functions and no others.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::ui {

// Reads a number written as optional blanks, an optional sign, digits with an optional
// decimal point, an optional exponent and optional blanks. Anything else is not a number.
std::optional<double> parseNumber(std::string_view text);

inline bool isNumeric(std::string_view text) { return parseNumber(text).has_value(); }

// Reads a count written in decimal digits alone, from one to `maxDigits` of them: no
// blanks, no sign, no point ("007" is 7; " 7", "+7" and "7.0" are not counts). Nothing
// when the count does not fit an int.
std::optional<int> parseDigits(std::string_view text, std::size_t maxDigits);

// The same for a count of bytes, of any length; nothing when it does not fit 64 bits.
std::optional<std::uint64_t> parseSize(std::string_view text);

// The shortest decimal text that reads back as the same number; whole numbers have no
// decimal point ("3", "-1", "2.5").
std::string formatNumber(double value);
std::string formatNumber(long long value);

// The largest whole number not above the value.
double wholePart(double value);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// A number as a whole number that fits in an int, rounding halves to even; nullopt when
// the value does not fit.
std::optional<int> toInt(double value);

}  // namespace quorvel::ui
