#include "ui/numtext.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

TEST(NumbersAsText, AcceptsDecimalNumbersWithBlanksSignsAndExponents) {
    EXPECT_EQ(parseNumber("7"), 7.0);
    EXPECT_EQ(parseNumber("  -3 "), -3.0);
    EXPECT_EQ(parseNumber("+2.5"), 2.5);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5.0);
    EXPECT_EQ(parseNumber("1e3"), 1000.0);
    EXPECT_EQ(parseNumber("2.5E-1"), 0.25);
}

TEST(NumbersAsText, RejectsEverythingElse) {
    for (const char* text : {"", " ", "abc", "1a", "--1", "1e", "e5", ".", "inf", "nan", "0x10", "1,5", "1 2"})
        EXPECT_FALSE(isNumeric(text)) << '"' << text << '"';
    EXPECT_FALSE(isNumeric("1e999")) << "a number too large for a real is not a number";
}

TEST(NumbersAsText, CountsAreDigitsAloneWithinTheirLengthAndRange) {
    EXPECT_EQ(parseDigits("007", 3), 7);
    EXPECT_EQ(parseDigits("65535", 5), 65535);
    for (const char* text : {"", " 1", "1 ", "+1", "-1", "1.0", "1e3", "0x1", "1234"})
        EXPECT_EQ(parseDigits(text, 3), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(parseDigits("2147483648", 10), std::nullopt) << "past an int";
    EXPECT_EQ(parseSize("18446744073709551615"), 18446744073709551615u);
    EXPECT_EQ(parseSize("18446744073709551616"), std::nullopt);
    EXPECT_EQ(parseSize("-0"), std::nullopt);
}

TEST(NumbersAsText, WritesTheShortestTextWholeNumbersWithoutAPoint) {
    EXPECT_EQ(formatNumber(3.0), "3");
    EXPECT_EQ(formatNumber(-1.0), "-1");
    EXPECT_EQ(formatNumber(-0.0), "0");
    EXPECT_EQ(formatNumber(2.5), "2.5");
    EXPECT_EQ(formatNumber(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatNumber(*parseNumber("1.10") + 1), "2.1");
}

TEST(NumbersAsText, WholePartRoundsDownAndRoundingTakesHalvesToEven) {
    EXPECT_EQ(wholePart(7.9), 7);
    EXPECT_EQ(wholePart(-0.5), -1);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(2.6), 3);
    EXPECT_EQ(toInt(1e12), std::nullopt);
    EXPECT_EQ(toInt(-7.5), -8);
}

}  // namespace
}  // namespace quorvel::ui
