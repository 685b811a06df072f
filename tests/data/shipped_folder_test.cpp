// The program folder that ships beside quorvel.exe, read with the program's own readers
// and picture decoder: every word list within its bounds, every country with its flag,
// every picture decodable, and a match set up in every language.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"
#include "day/readers.h"
#include "platform/sim/sim_platform.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;

const std::string kFolder = QUORVEL_SOURCE_DIR "/data/program";

class ShippedFolder : public ::testing::Test {
protected:
    sim::SimPlatform platform{kFolder};
    std::string path(const std::string& name) { return kFolder + "\\" + name; }
    std::vector<std::string> languages() { return day::readWordList(platform, path("Languages.ini"), day::kMaxLanguages); }
};

TEST_F(ShippedFolder, EveryLanguageHasItsCountriesWithinBoundsAndAFlagForEachThatDecodes) {
    const auto names = languages();
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names.front(), "Russian");
    for (const auto& language : names) {
        SCOPED_TRACE(language);
        const auto countries = day::readWordList(platform, path("C_" + language + ".dat"), day::kMaxCountries);
        EXPECT_GE(countries.size(), 175u);
        for (const auto& country : countries) {
            const auto flag = platform.loadPicture(path("pic\\flags\\" + language + "\\" + country + ".gif"));
            EXPECT_GT(flag->width(), 0) << country;
        }
    }
}

TEST_F(ShippedFolder, EveryPortraitEmblemAndLogoDecodes) {
    for (const char* set : {"Origin", "P1", "P2"})
        for (int n = 0; n <= 12; ++n)
            EXPECT_EQ(platform.loadPicture(path(std::string("pic\\gen\\") + set + "\\" + std::to_string(n) + ".gif"))
                          ->width(),
                      134);
    EXPECT_GT(platform.loadPicture(path("pic\\battle.gif"))->width(), 0);
    const auto logo = platform.loadPicture(path("pic\\LOGO.JPG"));
    EXPECT_EQ(logo->width(), 528);
    EXPECT_EQ(logo->height(), 40);
}

TEST_F(ShippedFolder, AMatchCanBeSetUpInEveryLanguage) {
    const auto names = languages();
    for (int index = 0; index < static_cast<int>(names.size()); ++index) {
        SCOPED_TRACE(names[static_cast<std::size_t>(index)]);
        sim::SimPlatform run{kFolder};
        app::App program(run, day::Release::R099);
        program.start();
        ASSERT_FALSE(run.quitCalled()) << run.messageBoxes().back().text;
        auto& dialog = program.startDialog();
        dialog.inputListPicked(dialog.Combo1, index);
        dialog.inputFocusLost(dialog.Combo1);
        dialog.inputButtonClicked(dialog.Command1);
        ASSERT_FALSE(run.quitCalled()) << run.messageBoxes().back().text;
        auto& table = program.table();
        EXPECT_EQ(table.Language1.caption(), names[static_cast<std::size_t>(index)]);
        // The sample day's first match, its players as the roster gives them.
        EXPECT_EQ(table.P1.caption(), "Arvid Lindqvist");
        EXPECT_EQ(program.day().current(), 0u);
        EXPECT_FALSE(table.LiveP1.caption().empty());
        EXPECT_NE(table.F2.picture(), nullptr);
    }
}

}  // namespace
}  // namespace quorvel::testing
