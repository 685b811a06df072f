#include "day/readers.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "scenario/program_folder.h"
#include "ui/error.h"

namespace quorvel::day {
namespace {

using testing::ProgramFolder;

std::vector<std::string> numbered(int count, const std::string& prefix) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back(prefix + std::to_string(i));
    return lines;
}

class Readers : public ::testing::Test {
protected:
    ProgramFolder folder;
    sim::SimPlatform platform{folder.path()};
    std::string file(const std::string& name) { return folder.path() + "\\" + name; }
    std::string failureOf(const std::function<void()>& read) {
        try {
            read();
        } catch (const Error& error) {
            return error.what();
        }
        return "";
    }
};

TEST_F(Readers, OptionsFileOfOneGroupFillsEveryFieldInOrder) {
    Settings settings;
    readOptions(platform, file("Options.ini"), 13, settings);
    EXPECT_EQ(settings.Language.text, "1");
    EXPECT_EQ(settings.Player1Name.text, "Options One");
    EXPECT_EQ(settings.Player2Color.text, "11");
    EXPECT_EQ(settings.BestOf.text, "Best of 5");
    EXPECT_EQ(settings.Player2NameFile.text, "Player2.txt");
    EXPECT_EQ(settings.TableBorderStyle.text, "0");
    EXPECT_EQ(settings.Player1Color.origin, file("Options.ini") + ", line 4");
}

TEST_F(Readers, OptionsFileOfTwoGroupsIsReadTwiceAndTheSecondWins) {
    auto lines = numbered(26, "v");
    folder.writeLines("Options.ini", lines);
    Settings settings;
    readOptions(platform, file("Options.ini"), 13, settings);
    EXPECT_EQ(settings.Language.text, "v14");
    EXPECT_EQ(settings.TableBorderStyle.text, "v26");
    EXPECT_EQ(settings.Player1Name.origin, file("Options.ini") + ", line 15");
}

TEST_F(Readers, OptionsFileThatIsNotWholeGroupsFailsAsAReadPastTheEnd) {
    for (int count : {12, 14}) {
        folder.writeLines("Options.ini", numbered(count, "v"));
        Settings settings;
        const std::string message = failureOf([&] { readOptions(platform, file("Options.ini"), 13, settings); });
        EXPECT_NE(message.find("Options.ini"), std::string::npos) << message;
        EXPECT_NE(message.find("past the end"), std::string::npos) << message;
        EXPECT_NE(message.find("line " + std::to_string(count + 1)), std::string::npos) << message;
    }
}

TEST_F(Readers, EmptyOptionsFileLeavesEveryFieldEmptyAndEarlierReleasesUseShorterGroups) {
    folder.write("Options.ini", "");
    Settings settings;
    readOptions(platform, file("Options.ini"), 13, settings);
    EXPECT_EQ(settings.Language.text, "");

    folder.writeLines("Options.ini", numbered(11, "v"));
    readOptions(platform, file("Options.ini"), 11, settings);
    EXPECT_EQ(settings.Player2NameFile.text, "v11");
    EXPECT_EQ(settings.TableBackColor.text, "");
    EXPECT_THROW(readOptions(platform, file("Options.ini"), 13, settings), Error);
}

TEST_F(Readers, WordListBoundsAcceptTheLastEntryAndFailOneBeyond) {
    folder.writeLines("Languages.ini", numbered(11, "L"));
    EXPECT_EQ(readWordList(platform, file("Languages.ini"), kMaxLanguages).size(), 11u);
    folder.writeLines("Languages.ini", numbered(12, "L"));
    const std::string message = failureOf([&] { readWordList(platform, file("Languages.ini"), kMaxLanguages); });
    EXPECT_NE(message.find("Languages.ini, line 12"), std::string::npos) << message;

    folder.writeLines("C_English.dat", numbered(301, "C"));
    EXPECT_EQ(readWordList(platform, file("C_English.dat"), kMaxCountries).size(), 301u);
    folder.writeLines("C_English.dat", numbered(302, "C"));
    EXPECT_NE(failureOf([&] { readWordList(platform, file("C_English.dat"), kMaxCountries); }).find("line 302"),
              std::string::npos);
}

TEST_F(Readers, WordListsKeepEmptyLinesAndWholeLinesWithTheirSpaces) {
    folder.writeLines("Languages.ini", {"Russian", "", " English "}, false);
    EXPECT_EQ(readWordList(platform, file("Languages.ini"), 11), (std::vector<std::string>{"Russian", "", " English "}));
}

TEST_F(Readers, Utf8WithOrWithoutByteOrderMarkAndAnsiTextAllReadTheSame) {
    folder.write("C_Russian.dat", "\xEF\xBB\xBFРоссия\r\nУкраина\r\n");
    EXPECT_EQ(readWordList(platform, file("C_Russian.dat"), 301), (std::vector<std::string>{"Россия", "Украина"}));
    folder.write("C_Russian.dat", "\xD0\xEE\xF1\xF1\xE8\xFF\r\n");  // Windows-1251
    EXPECT_EQ(readWordList(platform, file("C_Russian.dat"), 301), (std::vector<std::string>{"Россия"}));
}

TEST_F(Readers, PlayerNameIsTheLastLineOfItsFileAndAnEmptyFileKeepsTheName) {
    Setting name{"From options", "Options.ini, line 2"};
    Setting nameFile{"names.txt", "Options.ini, line 10"};
    folder.writeLines("names.txt", {"first", "second", "third"});
    readPlayerName(platform, nameFile, name);
    EXPECT_EQ(name.text, "third");

    folder.write("names.txt", "");
    Setting kept{"From options", "Options.ini, line 2"};
    readPlayerName(platform, nameFile, kept);
    EXPECT_EQ(kept.text, "From options");
}

TEST_F(Readers, MissingFilesAndEmptyNameFilePathsFailNamingTheFile) {
    EXPECT_NE(failureOf([&] { readWordList(platform, file("C_Klingon.dat"), 301); }).find("C_Klingon.dat"),
              std::string::npos);
    Setting name{"x", ""};
    const std::string missing =
        failureOf([&] { readPlayerName(platform, Setting{"gone.txt", "Options.ini, line 10"}, name); });
    EXPECT_NE(missing.find("gone.txt"), std::string::npos) << missing;
    EXPECT_NE(missing.find("Options.ini, line 10"), std::string::npos) << missing;
    EXPECT_NE(failureOf([&] { readPlayerName(platform, Setting{"", "Options.ini, line 11"}, name); })
                  .find("Options.ini, line 11"),
              std::string::npos);
}

TEST(Settings, NumbersThatAreNotNumbersOrOutOfRangeFailNamingLineAndValue) {
    const Setting colour{"abc", "C:\\q\\Options.ini, line 4"};
    try {
        settingInteger(colour, "player 1 colour", 0, 18);
        FAIL() << "a colour of abc was accepted";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Options.ini, line 4"), std::string::npos) << message;
        EXPECT_NE(message.find("\"abc\""), std::string::npos) << message;
    }
    EXPECT_THROW(settingInteger({"19", "x"}, "colour", 0, 18), Error);
    EXPECT_THROW(settingInteger({"2.5", "x"}, "colour", 0, 18), Error);
    EXPECT_EQ(settingInteger({" 18 ", "x"}, "colour", 0, 18), 18);
    EXPECT_EQ(settingNumber({"65793", "x"}, "colour"), 65793);
}

}  // namespace
}  // namespace quorvel::day
