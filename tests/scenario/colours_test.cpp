// The control menu's colours on the headless backend: swatch presses with every button
// and modifier, the colour name labels, the bar layout button and the background colour
// dialog.
#include <array>

#include "app/app.h"
#include "scenario/control_menu_fixture.h"

namespace quorvel::testing {
namespace {

using ui::modifier::kAlt;
using ui::modifier::kCtrl;
using ui::modifier::kShift;
using ui::mouse::kLeft;
using ui::mouse::kMiddle;
using ui::mouse::kRight;

constexpr ui::Color kOrange = 0x0014A5FF;
constexpr ui::Color kBlue = 0x00FA682F;
constexpr ui::Color kRed = 0x000000FF;

// Everything a swatch press may change, to compare before and after.
struct ColourState {
    ui::Color bar1, bar2, second1, second2, label1, label2;
    bool secondShown1, secondShown2;
    std::string name1, name2, tag1, tag2, setting1, setting2;
    friend bool operator==(const ColourState&, const ColourState&) = default;
};

class ColoursTest : public ControlMenuTest {
protected:
    ColourState state() const {
        const auto& settings = program.app->settings();
        return {table->SC1.fillColor(),    table->SC2.fillColor(),    table->SC12->fillColor(),
                table->SC22->fillColor(),  menu->SC1.backColor(),     menu->SC2.backColor(),
                table->SC12->visible(),    table->SC22->visible(),    menu->SC1.caption(),
                menu->SC2.caption(),       table->Label5.tag(),       table->Label6.tag(),
                settings.Player1Color.text, settings.Player2Color.text};
    }
    // The bars' rectangles: main 1, main 2, second 1, second 2.
    std::array<ui::Rect, 4> bars() const {
        return {table->SC1.rect(), table->SC2.rect(), table->SC12->rect(), table->SC22->rect()};
    }
};

TEST_F(ColoursTest, LeftPressOnSwatch4MakesItPlayer1sMainColourEverywhere) {
    const ColourState before = state();
    press(menu->C1(4), kLeft, 0);
    EXPECT_EQ(table->SC1.fillColor(), kOrange);
    EXPECT_EQ(menu->SC1.backColor(), kOrange);
    EXPECT_EQ(menu->SC1.caption(), "Orange");
    EXPECT_EQ(table->Label5.tag(), "4");
    EXPECT_EQ(program.app->settings().Player1Color.text, "4");
    EXPECT_EQ(table->SC12->fillColor(), before.second1) << "the second bar keeps its colour";
    EXPECT_EQ(table->SC2.fillColor(), before.bar2) << "player 2 is untouched";
    EXPECT_EQ(table->Label6.tag(), before.tag2);
}

TEST_F(ColoursTest, RightPressOnSwatch12ColoursAndShowsTheSecondBarsAndTheNextActivationNamesIt) {
    ASSERT_FALSE(table->SC12->visible());
    const ui::Color mainBar = table->SC2.fillColor();
    press(menu->C1(12), kRight, 0);
    EXPECT_EQ(table->SC22->fillColor(), kBlue);
    EXPECT_TRUE(table->SC12->visible());
    EXPECT_TRUE(table->SC22->visible());
    EXPECT_EQ(table->Label6.tag(), "12");
    EXPECT_EQ(program.app->settings().Player2Color.text, "12");
    EXPECT_EQ(table->SC2.fillColor(), mainBar) << "the main bar keeps its colour";

    // The table's activation copies the settings into the tags; the menu's then shows the
    // main bar's colour under the name of the last choice.
    table->inputActivated();
    menu->inputActivated();
    EXPECT_EQ(menu->SC2.backColor(), mainBar);
    EXPECT_EQ(menu->SC2.caption(), "Blue");
}

TEST_F(ColoursTest, ShiftLeftPressColoursTheSecondBarWithoutShowingIt) {
    const ui::Color mainBar = table->SC1.fillColor();
    press(menu->C1(2), kLeft, kShift);
    EXPECT_EQ(table->SC12->fillColor(), kBlue);
    EXPECT_FALSE(table->SC12->visible());
    EXPECT_EQ(table->SC1.fillColor(), mainBar);
    EXPECT_EQ(menu->SC1.caption(), "Blue");
    // Shown bars stay shown.
    table->SC12->setVisible(true);
    press(menu->C1(5), kLeft, kShift);
    EXPECT_TRUE(table->SC12->visible());
    EXPECT_FALSE(table->SC22->visible());
}

TEST_F(ColoursTest, LeftPressWithCtrlOrAltChangesNothing) {
    const ColourState before = state();
    for (int shift : {kCtrl, kAlt, kCtrl | kAlt, kShift | kCtrl, kShift | kAlt})
        for (int swatch : {0, 9, 10, 18}) {
            press(menu->C1(swatch), kLeft, shift);
            EXPECT_EQ(state(), before) << "swatch " << swatch << ", modifiers " << shift;
        }
}

TEST_F(ColoursTest, MiddlePressesToggleBothSecondBarsAndChooseNoColour) {
    table->SC22->setVisible(true);
    const ColourState before = state();
    press(menu->C1(3), kMiddle, 0);
    EXPECT_TRUE(table->SC12->visible());
    EXPECT_FALSE(table->SC22->visible()) << "each bar takes the opposite of its own visibility";
    press(menu->C1(14), kMiddle, 0);
    EXPECT_EQ(state(), before);
}

TEST_F(ColoursTest, ColourNameLabelsToggleOneSecondBarEach) {
    press(menu->SC1, kLeft, 0);
    EXPECT_TRUE(table->SC12->visible());
    EXPECT_FALSE(table->SC22->visible());
    press(menu->SC2, kLeft, 0);
    press(menu->SC1, kLeft, 0);
    EXPECT_FALSE(table->SC12->visible());
    EXPECT_TRUE(table->SC22->visible());
}

TEST_F(ColoursTest, Swatch9IsTheSystemFaceColour) {
    press(menu->C1(9), kLeft, 0);
    EXPECT_EQ(table->SC1.fillColor(), ui::system_color::kButtonFace);
    EXPECT_EQ(menu->SC1.caption(), "White");
}

TEST_F(ColoursTest, BarLayoutButtonMovesEveryBarAndTheSecondPressRestoresThem) {
    const auto normal = bars();
    press(menu->Picture4, kLeft, 0);
    EXPECT_EQ(table->SC1.rect(), (ui::Rect{455, 680, 3530, 120}));
    EXPECT_EQ(table->SC2.rect(), (ui::Rect{3990, 680, 3550, 120}));
    EXPECT_EQ(table->SC12->rect(), (ui::Rect{455, 180, 3522, 120}));
    EXPECT_EQ(table->SC22->rect(), (ui::Rect{3990, 180, 3560, 120}));
    press(menu->Picture4, kLeft, 0);
    EXPECT_EQ(bars(), normal);
    EXPECT_FALSE(table->barLayoutFlag);
}

TEST_F(ColoursTest, BarLayoutSurvivesANewMenuAndANewTableStartsInTheNormalLayout) {
    const auto normal = bars();
    press(menu->Picture4, kLeft, 0);
    const auto moved = bars();
    // A closed and re-created menu switches the same table back.
    pressOk(kRight, 0);
    menu = &program.app->controlMenu();
    press(menu->Picture4, kLeft, 0);
    EXPECT_EQ(bars(), normal);
    press(menu->Picture4, kLeft, 0);

    // Back to the start dialog with the bars moved, then a new match: the new table is in
    // the normal layout, and the next press moves it to the second one, not out of place.
    doubleClick(menu->Picture2);
    ASSERT_FALSE(program.app->tableLoaded());
    startMatch();
    EXPECT_EQ(bars(), normal);
    press(menu->Picture4, kLeft, 0);
    EXPECT_EQ(bars(), moved);
}

TEST_F(ColoursTest, PureRedFromTheColourDialogSetsTheSwatchHolderAndCaptions) {
    const ui::Color tableBack = table->backColor();
    menu->Text6.setText("3");
    program.platform.answerColorDialog(kRed);
    press(menu->Label5, kLeft, 0);
    EXPECT_EQ(program.platform.colorDialogsOpened(), 1);
    EXPECT_EQ(menu->Label5.backColor(), kRed);
    EXPECT_EQ(table->Label1.backColor(), kRed);
    EXPECT_EQ(menu->Label5.caption(), "255  0  0");
    EXPECT_EQ(menu->caption(), "RGB - 255 - 255  0  0");
    EXPECT_EQ(table->Label3.caption(), "3");
    EXPECT_EQ(table->backColor(), tableBack) << "the table changes colour on OK only";
    EXPECT_TRUE(program.platform.messageBoxes().empty());
    pressOk(kLeft, 0);
    EXPECT_EQ(table->backColor(), kRed);
}

TEST_F(ColoursTest, CancellingTheColourDialogShowsTheMessageAndKeepsTheColour) {
    menu->Label5.setBackColor(0x00000000);
    table->Label1.setBackColor(0x00123456);
    program.platform.answerColorDialog(std::nullopt);
    press(menu->Label5, kLeft, 0);
    EXPECT_EQ(program.platform.messageBoxes().size(), 0u) << "over a running match a notice";
    EXPECT_EQ(program.lastNotice(), "User chose the Cancel Button");
    EXPECT_EQ(menu->Label5.backColor(), 0x00000000u);
    EXPECT_EQ(table->Label1.backColor(), 0x00000000u);
    EXPECT_EQ(menu->Label5.caption(), "0  0  0");
    EXPECT_EQ(menu->caption(), "RGB - 0 - 0  0  0");
    EXPECT_FALSE(program.platform.quitCalled());
}

TEST_F(ColoursTest, CustomColoursLastAsLongAsTheMenuAndOnlyAChoiceKeepsEdits) {
    std::array<ui::Color, 16> edited{};
    edited[0] = 0x00112233;
    edited[15] = 0x00445566;
    program.platform.answerColorDialog(ui::rgb(1, 2, 3), edited);
    press(menu->Label5, kLeft, 0);
    std::array<ui::Color, 16> cancelledEdit = edited;
    cancelledEdit[1] = 0x00FFFFFF;
    program.platform.answerColorDialog(std::nullopt, cancelledEdit);
    press(menu->Label5, kLeft, 0);
    EXPECT_EQ(program.platform.offeredCustomColors(), edited);
    program.platform.answerColorDialog(std::nullopt);
    press(menu->Label5, kLeft, 0);
    EXPECT_EQ(program.platform.offeredCustomColors(), edited) << "a cancel keeps the table as it was";
    EXPECT_EQ(menu->caption(), "RGB - 0 - 1  2  3");

    pressOk(kRight, 0);  // closes the menu; a new one is loaded
    menu = &program.app->controlMenu();
    menu->show();
    program.platform.answerColorDialog(std::nullopt);
    press(menu->Label5, kLeft, 0);
    EXPECT_EQ(program.platform.offeredCustomColors(), (std::array<ui::Color, 16>{}));
}

}  // namespace
}  // namespace quorvel::testing
