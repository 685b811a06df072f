// The score table on the headless backend: what its load builds, its frame kinds and
// see-through mode, activation, and closing it from its frame.
#include "table/score_table.h"

#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

class TableTest : public ::testing::Test {
protected:
    Program program;
    std::vector<std::string> options = ProgramFolder::defaultOptions();
    void setOption(int line, const std::string& value) {
        options[static_cast<std::size_t>(line - 1)] = value;
        program.folder.writeLines("Options.ini", options);
    }
    table::ScoreTable& go() {
        auto& dialog = program.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        return program.app->table();
    }
    sim::SimWindow& window() { return *program.platform.window(program.app->table()); }
};

TEST_F(TableTest, LoadShowsPortraitTwelveWhileThePortraitNumbersAreZeroAndHidesTheLists) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = program.app->table();
    EXPECT_EQ(table.gennum1, 0);
    EXPECT_EQ(table.gennum2, 0);
    EXPECT_NE(table.I1.picture()->source().find("\\pic\\gen\\P1\\12.gif"), std::string::npos);
    EXPECT_NE(table.I2.picture()->source().find("\\pic\\gen\\P2\\12.gif"), std::string::npos);
    EXPECT_NE(table.Image2.picture()->source().find("\\pic\\battle.gif"), std::string::npos);
    EXPECT_FALSE(table.Combo1.visible());
    EXPECT_FALSE(table.Combo2.visible());
    EXPECT_EQ(table.Combo1.items(), table.Combo2.items());
    EXPECT_EQ(table.Combo2.items().front(), "Country 0");
    EXPECT_EQ(table.Combo2.listIndex(), 174);
    EXPECT_EQ(table.LiveP2.caption(), "Country 174");
    EXPECT_TRUE(window().topmost);
    EXPECT_TRUE(window().layered) << "frame 0 makes the table see-through from its load";
    EXPECT_EQ(table.backColor(), ui::kSeeThroughKey) << "the key colour is restored after the load background";
    EXPECT_FALSE(table.SC12->visible());
    EXPECT_FALSE(table.SC22->visible());
    EXPECT_EQ(table.Label4.caption(), "P1\\");
    EXPECT_EQ(table.Label3.caption(), "0");
    EXPECT_EQ(table.Language1.caption(), "ru1111");
}

class TableFrames : public TableTest, public ::testing::WithParamInterface<int> {};

TEST_P(TableFrames, FrameKindOfTheSettingsIsAppliedAndOnlyKindZeroIsSeeThrough) {
    const int kind = GetParam();
    setOption(13, std::to_string(kind));
    setOption(12, "12345");
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    EXPECT_EQ(window().borderStyle, static_cast<ui::BorderStyle>(kind));
    EXPECT_EQ(window().layered, kind == 0);
    EXPECT_TRUE(window().visible);
    EXPECT_EQ(table.backColor(), 12345u) << "GO sets the background after activation";
    table.inputActivated();
    EXPECT_EQ(table.backColor(), kind == 0 ? ui::kSeeThroughKey : 12345u);
    EXPECT_EQ(table.clientWidth(), 8010);
    EXPECT_EQ(table.clientHeight(), 1260);
}

// Cases named by the frame they set: "AllKinds/TableFrames.<test>/SizableToolWindow".
std::string frameName(const ::testing::TestParamInfo<int>& frame) {
    static const char* const kFrames[] = {"None",        "FixedSingle",     "Sizable",
                                          "FixedDialog", "FixedToolWindow", "SizableToolWindow"};
    return kFrames[frame.param];
}

INSTANTIATE_TEST_SUITE_P(AllKinds, TableFrames, ::testing::Range(0, 6), frameName);

TEST_F(TableTest, MakeTransparentTwiceLeavesTheSameStateAsOnce) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = program.app->table();
    table.setBackColor(0x123456);
    table.MakeTransparent();
    const auto once = std::make_tuple(window().layered, window().colorKey, table.backColor());
    table.MakeTransparent();
    EXPECT_EQ(std::make_tuple(window().layered, window().colorKey, table.backColor()), once);
}

TEST_F(TableTest, ActivationCopiesTheColourIndexesIntoTheHolderTags) {
    setOption(4, "7");
    setOption(5, "18");
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    EXPECT_EQ(table.Label5.tag(), "7");
    EXPECT_EQ(table.Label6.tag(), "18");
    EXPECT_EQ(table.SC1.fillColor(), ui::rgb(0xFF, 0x96, 0xFF)) << "Pink";
    EXPECT_EQ(table.SC2.fillColor(), 0u) << "Dark";
}

TEST_F(TableTest, ClosingTheTableFromItsFrameEndsTheProgram) {
    setOption(13, "2");
    ASSERT_TRUE(program.start()) << program.lastMessage();
    go().inputCloseRequested();
    EXPECT_TRUE(program.platform.quitCalled());
    EXPECT_EQ(program.platform.exitCode(), 0);
}

TEST_F(TableTest, ChoosingACountryLoadsItsFlagWithoutShowingAHiddenFlag) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    table.F1.setVisible(false);
    table.inputListPicked(table.Combo1, 42);
    EXPECT_NE(table.F1.picture()->source().find("Country 42.gif"), std::string::npos);
    EXPECT_EQ(table.LiveP1.caption(), "Country 42");
    EXPECT_FALSE(table.F1.visible());
}

TEST_F(TableTest, AMissingFlagEndsTheProgramNamingThePicture) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    program.folder.remove("pic/flags/English/Country 3.gif");
    table.inputListPicked(table.Combo2, 3);
    EXPECT_EQ(program.platform.exitCode(), 1);
    EXPECT_NE(program.lastMessage().find("Country 3.gif"), std::string::npos) << program.lastMessage();
}

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

class TableOpensMenu : public TableTest {
protected:
    void doubleClick(ui::Control& control) {
        auto& table = program.app->table();
        const ui::Rect r = control.formRect();
        const ui::Point at{r.left + r.width / 2, r.top + r.height / 2};
        table.inputPointerDown(at, ui::mouse::kLeft, 0);
        table.inputPointerUp(at, ui::mouse::kLeft, 0);
        table.inputDoubleClick(at, ui::mouse::kLeft, 0);
        table.inputPointerUp(at, ui::mouse::kLeft, 0);
    }
};

TEST_F(TableOpensMenu, DoubleClickOnANameOpensTheControlMenuUnlessAltOrShiftIsDown) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    program.platform.pressKey(ui::key::kShift);
    doubleClick(table.P1);
    EXPECT_FALSE(program.app->controlMenu().visible());
    program.platform.releaseKey(ui::key::kShift);
    doubleClick(table.P2);
    EXPECT_TRUE(program.app->controlMenu().visible());
    EXPECT_EQ(program.app->controlMenu().Text2.text(), "Jonas") << "activation read the table";
}

TEST_F(TableOpensMenu, DoubleClickOnAPortraitOpensTheControlMenuWhateverKeysAreDown) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    program.platform.pressKey(ui::key::kControl);
    doubleClick(table.I2);
    EXPECT_TRUE(program.app->controlMenu().visible());
}

TEST_F(TableOpensMenu, DoubleClickOnAPortraitWithAltHidesThePortraitsBeforeItsSecondPressCanOpenTheMenu) {
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& table = go();
    program.platform.pressKey(ui::key::kAlt);
    doubleClick(table.I2);
    EXPECT_FALSE(table.I1.visible());
    EXPECT_FALSE(table.I2.visible());
    EXPECT_FALSE(program.app->controlMenu().visible()) << "the second press finds no portrait";
}

}  // namespace
}  // namespace quorvel::testing
