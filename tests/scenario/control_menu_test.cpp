// The control menu on the headless backend: load and activation, "OK" and its gestures,
// the capture interval box, the visibility toggles and the way back to the start dialog.
#include "control/control_menu.h"

#include <gtest/gtest.h>

#include "scenario/control_menu_fixture.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::testing {
namespace {

using ui::modifier::kShift;
using ui::mouse::kLeft;
using ui::mouse::kRight;

TEST_F(ControlMenuTest, LoadFillsThumbnailsPathAndColourNamesAndStartsFolded) {
    EXPECT_EQ(menu->tag(), "0");
    EXPECT_EQ(menu->height(), control::ControlMenu::kCollapsedHeight);
    EXPECT_EQ(menu->Text5.text(), program.folder.path() + "\\screenshot.bmp");
    EXPECT_NE(menu->img1(7).picture()->source().find("\\pic\\gen\\P1\\7.gif"), std::string::npos);
    EXPECT_NE(menu->img2(12).picture()->source().find("\\pic\\gen\\P2\\12.gif"), std::string::npos);
    EXPECT_EQ(menu->C1(9).backColor(), ui::system_color::kButtonFace);
    EXPECT_EQ(menu->C1(13).tag(), "Green");
}

TEST_F(ControlMenuTest, ActivationReadsTheTableAndReplacesUnappliedTyping) {
    EXPECT_EQ(menu->Text1.text(), "Alexei");
    EXPECT_EQ(menu->BO.text(), "Best of 5");
    EXPECT_EQ(menu->SC1.caption(), "Blue");
    EXPECT_EQ(menu->SC2.backColor(), table->SC2.fillColor());
    EXPECT_EQ(menu->Label5.backColor(), table->backColor());
    menu->inputTextEdited(menu->Text1, "not applied");
    menu->inputActivated();
    EXPECT_EQ(menu->Text1.text(), "Alexei");
    EXPECT_EQ(menu->Text5.text(), program.folder.path() + "\\screenshot.bmp") << "the table's path holder is unset";
}

TEST_F(ControlMenuTest, ShowingTheOpenMenuAgainMakesItActiveAndReadsTheTableOnlyIfAnotherWindowWas) {
    for (ui::Control* shown : {static_cast<ui::Control*>(&table->P2), static_cast<ui::Control*>(&table->I1)}) {
        menu->inputTextEdited(menu->Text1, "typed");
        menu->show();
        EXPECT_EQ(menu->Text1.text(), "typed") << "the menu was the active window";
        program.platform.activate(*table);
        doubleClick(*table, *shown);
        EXPECT_EQ(program.platform.activeForm(), menu);
        EXPECT_EQ(menu->Text1.text(), "Alexei") << shown->name();
    }
}

TEST_F(ControlMenuTest, OkAppliesNamesCaptionAndOnlyTheScoresThatAreNumbers) {
    menu->inputTextEdited(menu->Text1, "Ann");
    menu->inputTextEdited(menu->Text2, "Bo");
    menu->inputTextEdited(menu->Text3, "abc");
    menu->inputTextEdited(menu->Text4, "7");
    menu->inputTextEdited(menu->BO, "Final");
    pressOk(kLeft, 0);
    EXPECT_EQ(table->P1.caption(), "Ann");
    EXPECT_EQ(table->P2.caption(), "Bo");
    EXPECT_EQ(table->T1.caption(), "0");
    EXPECT_EQ(table->T2.caption(), "7");
    EXPECT_EQ(table->BO.caption(), "Final");
    EXPECT_EQ(table->BOShadow->caption(), "Final");
    EXPECT_EQ(table->Label2.caption(), menu->Text5.text());
    EXPECT_EQ(table->backColor(), menu->Label5.backColor());
    EXPECT_TRUE(program.app->controlMenuLoaded()) << "the menu stays open";
}

TEST_F(ControlMenuTest, ShiftPressOnOkUnfoldsThenFolds) {
    pressOk(kLeft, kShift);
    EXPECT_EQ(menu->tag(), "1");
    EXPECT_EQ(menu->height(), control::ControlMenu::kExpandedHeight);
    pressOk(kLeft, kShift);
    EXPECT_EQ(menu->tag(), "2");
    EXPECT_EQ(menu->height(), control::ControlMenu::kCollapsedHeight);
}

TEST_F(ControlMenuTest, RightPressOnOkAppliesAndClosesAndTheNextMenuStartsAfresh) {
    menu->inputTextEdited(menu->Text3, "4");
    pressOk(kRight, kShift);
    EXPECT_EQ(table->T1.caption(), "4");
    EXPECT_FALSE(program.app->controlMenuLoaded());
    auto& fresh = program.app->controlMenu();
    EXPECT_EQ(fresh.tag(), "0");
    EXPECT_FALSE(fresh.visible());
}

TEST_F(ControlMenuTest, CaptureIntervalBoxSetsMillisecondsAndOkTenthsAndBadValuesChangeNothing) {
    ui::Timer& timer = table->Timer3();
    menu->inputTextEdited(menu->Text6, "5");
    EXPECT_EQ(timer.interval(), 5);
    pressOk(kLeft, 0);
    EXPECT_EQ(timer.interval(), 500);
    menu->inputTextEdited(menu->Text6, "2.5");
    EXPECT_EQ(timer.interval(), 2);
    pressOk(kLeft, 0);
    EXPECT_EQ(timer.interval(), 250);
    menu->inputTextEdited(menu->Text6, "abc");
    pressOk(kLeft, 0);
    EXPECT_EQ(timer.interval(), 250);
    menu->inputTextEdited(menu->Text6, "");
    menu->inputTextEdited(menu->Text6, "1000");  // 100 000 ms on "OK": more than a timer takes
    EXPECT_EQ(timer.interval(), 1000);
    pressOk(kLeft, 0);
    EXPECT_EQ(timer.interval(), 1000);
    menu->inputTextEdited(menu->Text6, "0");
    EXPECT_EQ(timer.interval(), 0);
    EXPECT_FALSE(program.platform.quitCalled());
}

TEST_F(ControlMenuTest, VisibilityTogglesFlipEachElementOnItsOwnState) {
    table->LiveP1.setVisible(false);
    press(menu->Picture1, kRight, 0);
    EXPECT_FALSE(table->F1.visible());
    EXPECT_FALSE(table->F2.visible());
    EXPECT_TRUE(table->LiveP1.visible());
    EXPECT_FALSE(table->LiveP2.visible());
    press(menu->Picture1, kLeft, 0);
    EXPECT_FALSE(table->BO.visible());
    EXPECT_FALSE(table->BOShadow->visible());
    press(menu->Picture1, kLeft, kShift);
    EXPECT_FALSE(table->LiveP1.visible());
    EXPECT_TRUE(table->LiveP2.visible());
    press(menu->Picture3, kLeft, 0);
    EXPECT_FALSE(table->I1.visible());
    EXPECT_FALSE(table->I2.visible());
    menu->inputControlDoubleClick(menu->Text4);
    EXPECT_FALSE(table->T1.visible());
    menu->inputControlDoubleClick(menu->Text3);
    EXPECT_TRUE(table->T2.visible());
}

TEST_F(ControlMenuTest, BackToTheStartDialogCarriesOnlyTheNamesOver) {
    table->P1.setCaption("Winner");
    table->BO.setCaption("Changed");
    const ui::Rect arrow = menu->Picture2.formRect();
    menu->inputPointerDown({arrow.left + 5, arrow.top + 5}, kLeft, 0);
    menu->inputPointerUp({arrow.left + 5, arrow.top + 5}, kLeft, 0);
    menu->inputDoubleClick({arrow.left + 5, arrow.top + 5}, kLeft, 0);  // closes the menu: no release follows
    EXPECT_FALSE(program.app->tableLoaded());
    EXPECT_FALSE(program.app->controlMenuLoaded());
    auto& dialog = program.app->startDialog();
    EXPECT_TRUE(dialog.visible());
    EXPECT_EQ(dialog.Text1.text(), "Winner");
    EXPECT_EQ(dialog.Text3.text(), "Best of 5");

    // The table and menu come back hidden with the dialog's start-up; GO shows the table again.
    dialog.inputButtonClicked(dialog.Command1);
    EXPECT_EQ(program.app->table().P1.caption(), "Winner");
    EXPECT_EQ(program.app->table().BO.caption(), "Best of 5");
}

TEST_F(ControlMenuTest, LogoOpensTheProjectsWebPage) {
    press(menu->Image1, kLeft, 0);
    ASSERT_EQ(program.platform.shellOpens().size(), 1u);
    EXPECT_EQ(program.platform.shellOpens()[0], control::ControlMenu::kWebPage);
}

}  // namespace
}  // namespace quorvel::testing
