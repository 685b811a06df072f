#include "ui/text.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

using Lines = std::vector<std::string>;

TEST(Lines, FinalTerminatorAddsNoEntryButEmptyLinesInsideAreEntries) {
    EXPECT_EQ(splitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(splitLines("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("\r\n"), (Lines{""}));
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines(" spaced  \r\n"), (Lines{" spaced  "}));
}

TEST(Lines, LoneLineFeedsAndCarriageReturnsAlsoEndLines) {
    EXPECT_EQ(splitLines("a\nb\rc\n"), (Lines{"a", "b", "c"}));
}

TEST(Encodings, Utf8IsRecognisedAndBrokenSequencesAreNot) {
    EXPECT_TRUE(isValidUtf8("Россия"));
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_FALSE(isValidUtf8("\xD0"));             // cut short
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xD0\xEE\xF1"));     // Windows-1251 text
}

TEST(Encodings, Windows1251BecomesUtf8) {
    EXPECT_EQ(cp1251ToUtf8("\xD0\xEE\xF1\xF1\xE8\xFF"), "Россия");
    EXPECT_EQ(cp1251ToUtf8("\xA8\xB8 \xB9"), "Ёё №");
    EXPECT_EQ(cp1251ToUtf8("ascii"), "ascii");
}

TEST(Encodings, FoldingCaseCoversLatinAndCyrillicAndKeepsEverythingElse) {
    EXPECT_EQ(foldCase("ÀÉÎ Straße ŁÓDŹ Ÿ"), "àéî straße łódź ÿ");
    EXPECT_EQ(foldCase("ЁЛКА ЇҐЄІЎ Ʉ×"), "ёлка їґєіў Ʉ×");
    EXPECT_EQ(foldCase("A\xD0" "\xC8" "B"), "a\xD0" "\xC8" "b");  // broken UTF-8 passes through
}

TEST(Words, BlanksTrimmedAndAsciiComparedApartFromCase) {
    EXPECT_EQ(trimmed(" \t a b\t "), "a b");
    EXPECT_EQ(trimmed(" \t"), "");
    EXPECT_TRUE(endsWithNoCase("SHOT.PnG", ".png") && startsWithNoCase("bearer x", "Bearer "));
    EXPECT_FALSE(endsWithNoCase("g", ".png") || startsWithNoCase("Bear", "Bearer") || equalNoCase("É", "é"));
}

}  // namespace
}  // namespace quorvel::ui
