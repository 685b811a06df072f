#pragma once
// A match on the headless backend with the control menu open: the start dialog's GO has
// shown the table, and the menu is shown beside it. Gestures go through the forms' input
// functions as the backend delivers them.
#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace quorvel::testing {

class ControlMenuTest : public ::testing::Test {
protected:
    Program program;
    table::ScoreTable* table = nullptr;
    control::ControlMenu* menu = nullptr;

    void SetUp() override {
        ASSERT_TRUE(program.start()) << program.lastMessage();
        startMatch();
    }
    // GO on the start dialog, then the menu shown.
    void startMatch() {
        auto& dialog = program.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        table = &program.app->table();
        menu = &program.app->controlMenu();
        menu->show();
    }
    void pressOk(int button, int shift) {
        menu->inputControlPointerDown(menu->Command1, {10, 10}, button, shift);
        if (!program.app->controlMenuLoaded()) return;  // closed by the press: no window, no more events
        menu->inputControlPointerUp(menu->Command1, {10, 10}, button, shift);
        if (button == ui::mouse::kLeft) menu->inputButtonClicked(menu->Command1);
    }
    static ui::Point middleOf(const ui::Control& control) {
        const ui::Rect r = control.formRect();
        return {r.left + r.width / 2, r.top + r.height / 2};
    }
    void press(ui::Control& control, int button, int shift) {
        const ui::Point at = middleOf(control);
        menu->inputPointerDown(at, button, shift);
        menu->inputPointerUp(at, button, shift);
    }
    // A left double-click as the backend delivers it: press, release, click, double-click
    // in place of the second press, release.
    void doubleClick(ui::Control& control) { doubleClick(*menu, control); }
    void doubleClick(ui::Form& form, ui::Control& control) {
        const ui::Point at = middleOf(control);
        form.inputPointerDown(at, ui::mouse::kLeft, 0);
        form.inputPointerUp(at, ui::mouse::kLeft, 0);
        form.inputDoubleClick(at, ui::mouse::kLeft, 0);
        if (&form != menu || program.app->controlMenuLoaded()) form.inputPointerUp(at, ui::mouse::kLeft, 0);
    }
};

}  // namespace quorvel::testing
