// Pointer gestures on the score table, sent as the backend delivers them: scores, names,
// flags, the series caption, the portraits with their pick strip, and the battle emblem.
#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using ui::mouse::kLeft;
using ui::mouse::kMiddle;
using ui::mouse::kRight;
constexpr int kShift = ui::modifier::kShift;

class Gestures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.start()) << program.lastMessage();
        auto& dialog = program.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
    }

    Program program;
    sim::SimPlatform& platform = program.platform;
    table::ScoreTable& table() { return program.app->table(); }
    control::ControlMenu& menu() { return program.app->controlMenu(); }

    // A point given relative to a control, in the table's client area.
    static ui::Point on(const ui::Control& control, ui::Point local) {
        const ui::Rect r = control.formRect();
        return {r.left + local.x, r.top + local.y};
    }
    // The middle of a control, or for a score the middle of its part that the portrait
    // beside it leaves uncovered.
    static ui::Point middleOf(const ui::Control& control) {
        if (control.name() == "T1") return on(control, {500, control.rect().height / 2});
        return on(control, {control.rect().width / 2, control.rect().height / 2});
    }
    void press(const ui::Control& control, int button, int shift = 0) {
        table().inputPointerDown(middleOf(control), button, shift);
    }
    void release(const ui::Control& control, int button, int shift = 0) {
        table().inputPointerUp(middleOf(control), button, shift);
    }
    void click(const ui::Control& control, int button, int shift = 0) {
        press(control, button, shift);
        release(control, button, shift);
    }
    void doubleClick(const ui::Control& control, int shift = 0) {
        const ui::Point at = middleOf(control);
        table().inputPointerDown(at, kLeft, shift);
        table().inputPointerUp(at, kLeft, shift);
        table().inputDoubleClick(at, kLeft, shift);
        table().inputPointerUp(at, kLeft, shift);
    }
    // A move to a point relative to `control` with `buttons` held.
    void moveTo(const ui::Control& control, ui::Point local, int buttons) {
        table().inputPointerMove(on(control, local), buttons, 0);
    }
    static std::string source(const ui::Image& image) {
        const std::string& path = image.picture()->source();
        return path.substr(path.find("\\pic\\"));
    }
    static std::string general(int player, int n) {
        return "\\pic\\gen\\P" + std::to_string(player) + "\\" + std::to_string(n) + ".gif";
    }
};

// --- The pick strip ---

TEST_F(Gestures, ALeftDragBelowTheTableLoadsTheGeneralOfTheCellUnderThePointer) {
    auto& t = table();
    t.Label4.setCaption("Origin\\");  // the strip keeps the players' own folders
    press(t.I1, kLeft);
    moveTo(t.I1, {300, 2000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 12)) << "exactly 2000 twips down is not the strip yet";
    moveTo(t.I1, {300, 2001}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 4));
    moveTo(t.I1, {499, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 4));
    moveTo(t.I1, {500, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 5));
    moveTo(t.I1, {1800, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 5));
    moveTo(t.I1, {11000, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 12));
    moveTo(t.I1, {-8499, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 0)) << "cell 0 reaches to r = -1499";
    moveTo(t.I1, {12500, 3000}, kLeft);
    moveTo(t.I1, {-8500, 3000}, kLeft);
    EXPECT_EQ(source(t.I1), general(1, 0)) << "cells 13 and -1 do not exist";
    EXPECT_EQ(source(t.I2), general(2, 12)) << "player 2's portrait stays";
    EXPECT_EQ(t.gennum1, 0) << "the chords' portrait numbers stay";
    release(t.I1, kLeft);
}

TEST_F(Gestures, TheStripUnderPlayerTwoIsCellEightAcrossThePortraitAndAltGivesBothPlayersTheGeneral) {
    auto& t = table();
    press(t.I2, kLeft);
    for (int x : {0, 500, 1004}) {
        moveTo(t.I2, {x, 2500}, kLeft);
        EXPECT_EQ(source(t.I2), general(2, 8)) << x;
    }
    EXPECT_EQ(source(t.I1), general(1, 12));
    platform.pressKey(ui::key::kAlt);
    moveTo(t.I2, {-3000, 2500}, kLeft);  // r = 9000: cell 6
    EXPECT_EQ(source(t.I1), general(1, 6));
    EXPECT_EQ(source(t.I2), general(2, 6));
    release(t.I2, kLeft);
}

TEST_F(Gestures, AMiddleDragBringsBothPortraitsBackToGeneralTwelveWhereverThePointerIs) {
    auto& t = table();
    press(t.I1, kLeft);
    moveTo(t.I1, {0, 2500}, kLeft);
    release(t.I1, kLeft);
    press(t.I2, kLeft);
    moveTo(t.I2, {0, 2500}, kLeft);
    release(t.I2, kLeft);
    ASSERT_NE(source(t.I1), general(1, 12));
    press(t.I1, kMiddle);
    moveTo(t.I1, {-30000, 2500}, kMiddle);
    EXPECT_EQ(source(t.I1), general(1, 12));
    EXPECT_EQ(source(t.I2), general(2, 12));
}

TEST_F(Gestures, ARightDragPicksPlayerOnesHalfOfThePaletteForTheBarAndNothingElse) {
    auto& t = table();
    const ui::Color before = t.SC2.fillColor();
    press(t.I2, kRight);
    moveTo(t.I2, {-7500 + 1500 * 10, 2500}, kRight);  // cell 10
    moveTo(t.I2, {-7500 + 1500 * 12, 2500}, kRight);  // cell 12
    EXPECT_EQ(t.SC2.fillColor(), before);
    moveTo(t.I2, {-7500, 2500}, kRight);  // cell 3
    EXPECT_EQ(t.SC2.fillColor(), menu().C1(3).backColor());
    EXPECT_EQ(source(t.I2), general(2, 12)) << "a right drag loads no portrait";
    EXPECT_EQ(t.Label6.tag(), "11") << "the colour index stays";
    release(t.I2, kRight);
}

TEST_F(Gestures, ABothButtonDragOverTheStripDoesNothing) {
    auto& t = table();
    const ui::Color bar = t.SC1.fillColor();
    press(t.I1, kLeft);
    press(t.I1, kRight);
    moveTo(t.I1, {0, 2500}, kLeft | kRight);
    EXPECT_EQ(source(t.I1), general(1, 12));
    EXPECT_EQ(t.SC1.fillColor(), bar);
}

// --- Portrait clicks ---

TEST_F(Gestures, TwoShiftClicksOnAPortraitSwapTheTwoAndBackWithTheSpareHoldingPlayerOnes) {
    auto& t = table();
    const ui::PicturePtr one = t.I1.picture();
    const ui::PicturePtr two = t.I2.picture();
    platform.pressKey(ui::key::kShift);
    click(t.I1, kLeft, kShift);
    EXPECT_EQ(t.I1.picture(), two);
    EXPECT_EQ(t.I2.picture(), one);
    click(t.I2, kRight, kShift);
    EXPECT_EQ(t.I1.picture(), one);
    EXPECT_EQ(t.I2.picture(), two);
    EXPECT_EQ(t.picturegen.picture(), two) << "player 1's portrait at the second swap";
    EXPECT_TRUE(t.I1.visible());
}

TEST_F(Gestures, AShiftDoubleClickOnAPortraitSwapsOnceThenOpensTheMenu) {
    auto& t = table();
    const ui::PicturePtr one = t.I1.picture();
    platform.pressKey(ui::key::kShift);
    doubleClick(t.I1, kShift);
    EXPECT_EQ(t.I2.picture(), one);
    EXPECT_TRUE(menu().visible());
}

TEST_F(Gestures, AnAltClickOnAPortraitHidesBoth) {
    platform.pressKey(ui::key::kAlt);
    click(table().I2, kRight, ui::modifier::kAlt);
    EXPECT_FALSE(table().I1.visible());
    EXPECT_FALSE(table().I2.visible());
}

// --- Scores ---

TEST_F(Gestures, ScoreDoubleClickAddsOneRightPressSubtractsButNotBelowZeroAndMiddleResetsBoth) {
    auto& t = table();
    menu().Text3.setText("5");
    click(t.T1, kRight);
    EXPECT_EQ(t.T1.caption(), "0");
    EXPECT_EQ(menu().Text3.text(), "5") << "a right press on 0 does not touch the mirror";
    doubleClick(t.T1);
    EXPECT_EQ(t.T1.caption(), "1") << "the double-click's first press adds nothing";
    EXPECT_EQ(menu().Text3.text(), "1");
    doubleClick(t.T2);
    doubleClick(t.T2);
    click(t.T2, kRight);
    EXPECT_EQ(t.T2.caption(), "1");
    EXPECT_EQ(menu().Text4.text(), "1");
    click(t.T2, kMiddle, kShift);
    for (const std::string& text : {t.T1.caption(), t.T2.caption(), menu().Text3.text(), menu().Text4.text()})
        EXPECT_EQ(text, "0");
}

// --- Names ---

TEST_F(Gestures, NameSizesStepWithShiftStayWithinEightToEighteenAndAltSetsBothToFourteen) {
    auto& t = table();
    click(t.P1, kLeft, kShift);
    EXPECT_EQ(t.P1.font().size, 15.25);
    for (int i = 0; i < 5; ++i) click(t.P1, kLeft, kShift);
    EXPECT_EQ(t.P1.font().size, 18);
    for (int i = 0; i < 20; ++i) click(t.P2, kRight, kShift);
    EXPECT_EQ(t.P2.font().size, 8);
    click(t.P1, kLeft, kShift | ui::modifier::kCtrl);
    EXPECT_EQ(t.P1.font().size, 18) << "Shift with Ctrl is not Shift";
    t.P1.setFontSize(30);
    click(t.P2, kLeft);
    EXPECT_EQ(t.P1.font().size, 30) << "only the pressed name is clamped";
    platform.pressKey(ui::key::kAlt);
    click(t.P2, kMiddle, ui::modifier::kAlt);
    EXPECT_EQ(t.P1.font().size, 14);
    EXPECT_EQ(t.P2.font().size, 14);
}

TEST_F(Gestures, ANameTooLongForItsPlaceIsDrawnSmallerOnOneLineBesideItsScoreAndAShortOneAtItsSizeAgain) {
    auto& t = table();
    EXPECT_TRUE(t.P1.rect().left >= t.T1.rect().right() && t.P2.rect().right() <= t.T2.rect().left);
    t.P2.setCaption("Алия Нурланова");
    click(t.P2, kLeft, kShift);
    click(t.P2, kLeft, kShift);
    t.swapSides();  // to player 1's narrower place
    EXPECT_EQ(std::pair(t.P1.font().size, t.P1.drawnFont().size), std::pair(16.25, 14.75));
    EXPECT_LE(platform.textWidth(t.P1.drawnFont(), t.P1.caption()), ui::twipsToPixels(t.P1.rect().width) - 6);
    t.P1.setCaption("Alia");
    EXPECT_EQ(t.P1.drawnFont().size, 16.25);
    t.P1.setCaption(std::string(60, 'W'));
    EXPECT_EQ(t.P1.drawnFont().size, 8);
}

TEST_F(Gestures, AShiftDoubleClickOnANameGrowsItOnceAndDoesNotOpenTheMenu) {
    platform.pressKey(ui::key::kShift);
    doubleClick(table().P1, kShift);
    EXPECT_EQ(table().P1.font().size, 15.25);
    EXPECT_FALSE(menu().visible());
}

// --- Flags and countries ---

TEST_F(Gestures, FlagGesturesToggleTheListsHideTheSixControlsAndToggleTheCountryNames) {
    auto& t = table();
    doubleClick(t.F1);
    EXPECT_TRUE(t.Combo1.visible());
    EXPECT_TRUE(t.Combo2.visible());
    platform.pressKey(ui::key::kShift);
    doubleClick(t.F2, kShift);
    EXPECT_TRUE(t.Combo1.visible()) << "its press and its double-click toggle twice";
    platform.releaseKey(ui::key::kShift);
    platform.pressKey(ui::key::kAlt);
    click(t.F1, kLeft, ui::modifier::kAlt);
    EXPECT_FALSE(t.LiveP1.visible());
    EXPECT_FALSE(t.LiveP2.visible());
    t.LiveP2.setVisible(true);
    click(t.F1, kRight, ui::modifier::kAlt);
    for (const ui::Control* c : {static_cast<const ui::Control*>(&t.F1), static_cast<const ui::Control*>(&t.F2),
                                 static_cast<const ui::Control*>(&t.LiveP1), static_cast<const ui::Control*>(&t.LiveP2),
                                 static_cast<const ui::Control*>(&t.Combo1), static_cast<const ui::Control*>(&t.Combo2)})
        EXPECT_FALSE(c->visible()) << c->name();
}

TEST_F(Gestures, ARightShiftPressOnAFlagHidesTheSixWhateverTheirState) {
    auto& t = table();
    t.Combo2.setVisible(true);
    t.LiveP1.setVisible(false);
    click(t.F2, kRight, kShift);
    EXPECT_FALSE(t.F1.visible());
    EXPECT_FALSE(t.F2.visible());
    EXPECT_FALSE(t.LiveP1.visible());
    EXPECT_FALSE(t.LiveP2.visible());
    EXPECT_FALSE(t.Combo2.visible());
    click(t.F1, kRight);  // hidden: the press reaches what lies under it, and changes nothing
    EXPECT_FALSE(t.F1.visible());
}

// --- The series caption ---

TEST_F(Gestures, MiddlePressesNudgeTheShadowWithoutBoundAndShiftLeftHidesTheCaption) {
    auto& t = table();
    const int top = t.BOShadow->rect().top;
    click(t.BO, kMiddle);
    click(t.BO, kMiddle);
    EXPECT_EQ(t.BOShadow->rect().top, top - 20);
    click(t.BO, kMiddle, kShift);
    EXPECT_EQ(t.BOShadow->rect().top, top - 10);
    click(t.BO, kMiddle, ui::modifier::kCtrl);
    EXPECT_EQ(t.BOShadow->rect().top, top - 10);
    click(t.BO, kLeft, kShift);
    EXPECT_FALSE(t.BO.visible());
    EXPECT_FALSE(t.BOShadow->visible());
}

// --- The battle emblem ---

TEST_F(Gestures, CtrlAltOnTheEmblemCarriesTheNamesBackToTheStartDialogAndClosesTheTable) {
    table().P1.setCaption("Ann");
    table().P2.setCaption("Bo");
    menu().show();
    platform.pressKey(ui::key::kControl);
    platform.pressKey(ui::key::kAlt);
    table().inputPointerDown(middleOf(table().Image2), kMiddle, ui::modifier::kCtrl | ui::modifier::kAlt);
    EXPECT_FALSE(program.app->tableLoaded());
    ASSERT_TRUE(program.app->startDialogLoaded());
    auto& dialog = program.app->startDialog();
    EXPECT_TRUE(dialog.visible());
    EXPECT_EQ(dialog.Text1.text(), "Ann");
    EXPECT_EQ(dialog.Text2.text(), "Bo");
    EXPECT_TRUE(menu().visible()) << "the control menu stays as it was";
    EXPECT_FALSE(platform.quitCalled());
}

TEST_F(Gestures, AltOnTheEmblemTogglesTheCaptionAndShowsAllAndShiftTogglesTheSpeedBoxes) {
    auto& t = table();
    click(t.BO, kLeft, kShift);
    platform.pressKey(ui::key::kAlt);
    click(t.Image2, kLeft, ui::modifier::kAlt);
    EXPECT_TRUE(t.BO.visible());
    EXPECT_TRUE(t.BOShadow->visible());
    click(t.Image2, kLeft, ui::modifier::kAlt);
    EXPECT_FALSE(t.BO.visible());
    EXPECT_FALSE(t.BOShadow->visible());

    t.Combo1.setVisible(true);
    t.I2.setVisible(false);
    t.F1.setVisible(false);
    t.LiveP2.setVisible(false);
    click(t.Image2, kRight, ui::modifier::kAlt);
    EXPECT_TRUE(t.BO.visible());
    EXPECT_TRUE(t.BOShadow->visible());
    EXPECT_TRUE(t.I2.visible());
    EXPECT_TRUE(t.F1.visible());
    EXPECT_TRUE(t.LiveP2.visible());
    EXPECT_FALSE(t.Combo1.visible()) << "show all closes the lists";
    platform.releaseKey(ui::key::kAlt);

    t.inttimer5.setVisible(true);
    click(t.Image2, kLeft, kShift);
    EXPECT_TRUE(t.inttimer4.visible());
    EXPECT_FALSE(t.inttimer5.visible()) << "each box toggles on its own";
}

TEST_F(Gestures, ShiftRightOnTheEmblemClosesEveryWindowAndEndsTheProgram) {
    auto& t = table();
    t.inputPointerDown(middleOf(t.Image2), kRight, kShift);
    EXPECT_TRUE(platform.quitCalled());
    EXPECT_EQ(platform.exitCode(), 0);
    EXPECT_FALSE(program.app->tableLoaded());
    EXPECT_FALSE(program.app->controlMenuLoaded());
    EXPECT_FALSE(program.app->startDialogLoaded());
}

TEST_F(Gestures, PassingOverTheEmblemRestartsThePollAndReappliesThePulseSpeeds) {
    auto& t = table();
    platform.advance(700);
    t.inttimer4.setText("3");
    t.Timer4().setInterval(40);
    t.Timer1().setEnabled(false);
    moveTo(t.Image2, {100, 100}, 0);
    EXPECT_TRUE(t.Timer1().enabled());
    EXPECT_EQ(t.Timer4().interval(), 6);
    EXPECT_EQ(t.moveformmouse.caption(), "0");
    // A speed box without a number leaves the intervals as they are.
    t.inttimer5.setText("quick");
    t.Timer5().setInterval(12);
    moveTo(t.Image2, {100, 100}, 0);
    EXPECT_EQ(t.Timer5().interval(), 12);
    EXPECT_EQ(platform.messageBoxes().size(), 0u);
}

TEST_F(Gestures, ABothButtonDragOnTheEmblemMovesTheTableWithThePointerEvenOffTheEmblem) {
    auto& t = table();
    platform.setCursor({500, 300});
    press(t.Image2, kLeft);
    press(t.Image2, kRight);
    moveTo(t.Image2, {0, 0}, kLeft | kRight);
    EXPECT_EQ(t.left(), 500 * 15 - t.width() / 2);
    EXPECT_EQ(t.top(), 300 * 15 - 400);
    EXPECT_EQ(t.moveformmouse.caption(), "3");
    platform.setCursor({600, 300});
    moveTo(t.Image2, {30000, 30000}, kLeft | kRight);  // far outside the emblem and the table
    EXPECT_EQ(t.left(), 500 * 15 - t.width() / 2 + 1500);
}

TEST_F(Gestures, TheFirstMiddleMoveLoadsTheStartDialogHiddenAndPutsTheTableThereLaterOnesReuseIt) {
    auto& t = table();
    ASSERT_FALSE(program.app->startDialogLoaded());
    t.move(100, 100);
    press(t.Image2, kMiddle);
    moveTo(t.Image2, {10, 10}, kMiddle);
    ASSERT_TRUE(program.app->startDialogLoaded());
    auto& dialog = program.app->startDialog();
    EXPECT_FALSE(dialog.visible());
    EXPECT_EQ(t.left(), dialog.left());
    EXPECT_EQ(t.top(), dialog.top());
    dialog.move(450, 600);
    dialog.Text1.setText("kept");
    moveTo(t.Image2, {10, 10}, kMiddle);
    EXPECT_EQ(t.left(), 450);
    EXPECT_EQ(t.top(), 600);
    EXPECT_EQ(program.app->startDialog().Text1.text(), "kept") << "the loaded dialog is reused";
}

TEST(GesturesAfterALanguageChange, AFlagPickedAfterTheStartDialogReadTheSettingsAgainComesFromTheListsLanguage) {
    Program program;
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& dialog = program.app->startDialog();
    dialog.inputListPicked(dialog.Combo1, 0);  // Russian, while the settings name English
    ASSERT_EQ(dialog.Combo1.text(), "Russian");
    dialog.inputButtonClicked(dialog.Command1);
    auto& t = program.app->table();
    // A middle move over the emblem loads the start dialog again, which reads the
    // settings again: the language in force is English once more.
    const ui::Rect emblem = t.Image2.formRect();
    t.inputPointerDown({emblem.left + 10, emblem.top + 10}, ui::mouse::kMiddle, 0);
    t.inputPointerMove({emblem.left + 10, emblem.top + 10}, ui::mouse::kMiddle, 0);
    t.inputPointerUp({emblem.left + 10, emblem.top + 10}, ui::mouse::kMiddle, 0);
    ASSERT_EQ(program.app->settings().Language.text, "English");
    t.inputListPicked(t.Combo1, 3);
    EXPECT_FALSE(program.platform.quitCalled()) << program.lastMessage();
    EXPECT_NE(t.F1.picture()->source().find("\\flags\\Russian\\Страна 3.gif"), std::string::npos)
        << t.F1.picture()->source();
    EXPECT_EQ(t.LiveP1.caption(), "Страна 3");
}

// This backend counts a character 6.5 pixels wide at the country names' 9.75 points.
TEST_F(Gestures, ACountryNameWiderThanItsLabelRunsTowardTheSeriesCaptionAndOnlyAnOverlongOneShrinks) {
    auto& t = table();
    const ui::Rect series = t.BO.rect();
    t.LiveP1.setCaption("Беларусь");            // 52 pixels of 46
    t.LiveP2.setCaption(std::string(40, 'W'));  // 260 pixels: smaller, but not below 80 %
    EXPECT_EQ(t.LiveP1.rect(), (ui::Rect{900, 990, series.left - 900, 240}));
    EXPECT_EQ(t.LiveP2.rect(), (ui::Rect{series.right(), 990, 7080 - series.right(), 240}));
    EXPECT_EQ(std::pair(t.LiveP1.font().size, t.LiveP2.font().size), std::pair(9.75, 9.75 * 0.8));
    t.LiveP2.setCaption("Чад");
    EXPECT_EQ(std::pair(t.LiveP2.rect(), t.LiveP2.font().size), std::pair(ui::Rect{6390, 990, 690, 240}, 9.75));
}

}  // namespace
}  // namespace quorvel::testing
