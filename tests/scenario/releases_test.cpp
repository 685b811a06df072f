// The earlier releases' table: their settings groups, their fixed frames, and the chords
// and gestures that differ from release 0.99.
#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/control_menu_fixture.h"
#include "scenario/program_folder.h"
#include "remote/api.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using day::Release;
using ui::key::kAlt;
using ui::key::kControl;
using ui::key::kShift;
using ui::key::kTab;

class Releases : public ::testing::Test {
protected:
    Program program;
    sim::SimPlatform& platform = program.platform;
    table::ScoreTable& table() { return program.app->table(); }

    // Starts `release` on settings of its own group length.
    void start(Release release) {
        auto lines = ProgramFolder::defaultOptions();
        lines.resize(static_cast<std::size_t>(day::optionsGroupLength(release)));
        program.folder.writeLines("Options.ini", lines);
        ASSERT_TRUE(program.start(release)) << program.lastMessage();
    }
    void go() {
        auto& dialog = program.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
    }
    static ui::Point middleOf(const ui::Control& control) {
        const ui::Rect r = control.formRect();
        return {r.left + r.width / 2, r.top + r.height / 2};
    }
    void clickOn(const ui::Control& control, int button, int shift) {
        const ui::Point at = middleOf(control);
        table().inputPointerDown(at, button, shift);
        table().inputPointerUp(at, button, shift);
    }
    void doubleClickOn(const ui::Control& control) {
        const ui::Point at = middleOf(control);
        table().inputPointerDown(at, ui::mouse::kLeft, 0);
        table().inputPointerUp(at, ui::mouse::kLeft, 0);
        table().inputDoubleClick(at, ui::mouse::kLeft, 0);
        table().inputPointerUp(at, ui::mouse::kLeft, 0);
    }
    void tapChord(int key) {
        platform.pressKey(kControl);
        platform.pressKey(kShift);
        platform.pressKey(key);
        platform.advance(10);
        platform.releaseKey(key);
        platform.releaseKey(kShift);
        platform.releaseKey(kControl);
        platform.advance(700);  // past the repeat guard
    }
};

TEST_F(Releases, A097ProgramReadsElevenLineGroupsAndFailsOnAThirteenLineFile) {
    program.folder.writeLines("Options.ini", ProgramFolder::defaultOptions());
    EXPECT_FALSE(program.start(Release::R097Window));
    const std::string message = program.lastMessage();
    EXPECT_NE(message.find("Options.ini"), std::string::npos) << message;
    EXPECT_NE(message.find("reading line 14 ran past the end of the file"), std::string::npos)
        << "13 lines are one group of 11 and two lines of the next: " << message;
}

TEST_F(Releases, Release094ChordsNeedCtrlAndShiftAndRepeatAbout310MsApart) {
    start(Release::R094Window);
    platform.pressKey(kTab);
    platform.pressKey('1');
    platform.advance(100);
    EXPECT_EQ(table().T1.caption(), "0") << "no Tab chords in release 0.94";
    platform.releaseKey(kTab);
    platform.pressKey(kControl);
    platform.pressKey(kShift);
    platform.advance(10);  // the next tick
    const long long first = platform.now();
    EXPECT_EQ(table().T1.caption(), "1");
    EXPECT_EQ(program.app->controlMenu().Text3.text(), "1");
    EXPECT_TRUE(table().Timer6().enabled()) << "the 300 ms re-enable timer";
    platform.advance(309);
    EXPECT_EQ(table().T1.caption(), "1");
    platform.advance(1);
    EXPECT_EQ(table().T1.caption(), "2") << "acted again " << platform.now() - first << " ms later";
    platform.releaseKey('1');
    platform.advance(400);
    EXPECT_FALSE(table().Timer6().enabled()) << "the re-enable timer turns itself off";
    EXPECT_TRUE(table().Timer1().enabled());
}

TEST_F(Releases, Release094VTogglesEachPortraitAndCtrlAltRunsThePulses) {
    start(Release::R094Window);
    platform.pressKey(kControl);
    platform.pressKey(kShift);
    table().I2.setVisible(false);
    platform.pressKey('V');
    platform.advance(10);
    platform.releaseKey('V');
    EXPECT_FALSE(table().I1.visible());
    EXPECT_TRUE(table().I2.visible());
    platform.releaseKey(kShift);
    platform.pressKey(kAlt);
    platform.pressKey('E');
    platform.advance(10);
    platform.releaseKey('E');
    EXPECT_FALSE(table().Timer4().enabled());
    platform.pressKey('Q');
    platform.advance(10);
    platform.releaseKey('Q');
    EXPECT_EQ(table().BO.tag(), "245") << "one step of the caption's pulse";
    EXPECT_EQ(table().gennum1, 0) << "Ctrl+Alt+Q is not the portrait chord";
}

TEST_F(Releases, Release094RightPressOnAZeroScoreGoesToMinusOneUntilTheNextTick) {
    start(Release::R094Window);
    go();
    platform.advance(10);
    clickOn(table().T2, ui::mouse::kRight, 0);
    EXPECT_EQ(table().T2.caption(), "-1");
    EXPECT_EQ(program.app->controlMenu().Text4.text(), "-1");
    platform.advance(10);
    EXPECT_EQ(table().T2.caption(), "0");
    clickOn(table().T2, ui::mouse::kMiddle, 0);  // no reset, no failure
    EXPECT_FALSE(platform.quitCalled());
}

TEST_F(Releases, Release094HasNoPickStripNoDoubleClickOnThePlayer2PortraitNoBChordAndNoMiddleReset) {
    start(Release::R094Window);
    go();
    platform.advance(700);
    auto& t = table();
    const ui::PicturePtr portrait = t.I1.picture();
    const ui::Point i1 = middleOf(t.I1);
    t.inputPointerDown(i1, ui::mouse::kLeft, 0);
    t.inputPointerMove({i1.x, i1.y + 3000}, ui::mouse::kLeft, 0);  // over the strip's cells in 0.99
    t.inputPointerUp({i1.x, i1.y + 3000}, ui::mouse::kLeft, 0);
    EXPECT_EQ(t.I1.picture(), portrait) << "no pick strip";

    auto& menu = program.app->controlMenu();
    doubleClickOn(t.I2);
    EXPECT_FALSE(menu.visible()) << "no double-click on I2";
    doubleClickOn(t.I1);
    EXPECT_TRUE(menu.visible()) << "I1's double-click opens the menu";

    tapChord('B');
    EXPECT_TRUE(t.I1.visible());
    EXPECT_TRUE(t.I2.visible()) << "no B chord";

    t.T1.setCaption("3");
    t.T2.setCaption("4");
    // Player 1's portrait covers the middle of the score's box: press beside it.
    const ui::Point score{t.T1.formRect().left + 500, middleOf(t.T1).y};
    t.inputPointerDown(score, ui::mouse::kMiddle, 0);
    t.inputPointerUp(score, ui::mouse::kMiddle, 0);
    EXPECT_EQ(t.T1.caption(), "3") << "no middle reset";
    EXPECT_EQ(t.T2.caption(), "4");
    EXPECT_FALSE(platform.quitCalled()) << program.lastMessage();
}

TEST_F(Releases, Release094QuitsAtOnceAndItsEmblemNeitherDragsNorRestartsThePoll) {
    start(Release::R094Window);
    go();
    auto& t = table();
    t.Timer1().setEnabled(false);
    const int left = t.left();
    const ui::Rect r = t.Image2.formRect();
    t.inputPointerMove({r.left + 10, r.top + 10}, ui::mouse::kLeft | ui::mouse::kRight, 0);
    EXPECT_FALSE(t.Timer1().enabled());
    EXPECT_EQ(t.left(), left);
    clickOn(t.Image2, ui::mouse::kRight, ui::modifier::kShift);
    EXPECT_EQ(platform.exitCode(), 0);
    EXPECT_TRUE(program.app->tableLoaded()) << "the windows are not closed first";
}

TEST_F(Releases, Release097TransparentIsSeeThroughWithoutASettingAndAgainAtEveryGuardTick) {
    start(Release::R097Transparent);
    go();
    auto& window = *platform.window(table());
    EXPECT_TRUE(window.layered);
    EXPECT_EQ(window.borderStyle, ui::BorderStyle::None);
    const int calls = window.seeThroughCalls;
    platform.advance(600);  // the guard's first run
    EXPECT_EQ(window.seeThroughCalls, calls + 1);
    EXPECT_EQ(table().backColor(), ui::kSeeThroughKey);
    // Each chord arms the guard again; each of its ticks makes the table see-through again,
    // whatever the background was set to meanwhile.
    for (int chord = 1; chord <= 3; ++chord) {
        table().setBackColor(0x00336699);
        tapChord('1');
        EXPECT_EQ(window.seeThroughCalls, calls + 1 + chord);
        EXPECT_EQ(table().backColor(), ui::kSeeThroughKey);
    }
    EXPECT_EQ(table().T1.caption(), "3");
}

TEST_F(Releases, Release097KeepsANonNumericScoreButPutsANegativeOneRight) {
    start(Release::R097Window);
    platform.advance(700);
    table().T1.setCaption("abc");
    table().T2.setCaption("-2");
    platform.advance(10);
    EXPECT_EQ(table().T1.caption(), "abc");
    EXPECT_EQ(table().T2.caption(), "0");
}

TEST_F(Releases, EarlierReleasesHaveNoShadowNoShiftSwapAndTheirDialogFrames) {
    for (Release release : {Release::R097Window, Release::R094Window}) {
        SCOPED_TRACE(day::productTitle(release));
        Program fresh;
        auto lines = ProgramFolder::defaultOptions();
        lines.resize(static_cast<std::size_t>(day::optionsGroupLength(release)));
        fresh.folder.writeLines("Options.ini", lines);
        ASSERT_TRUE(fresh.start(release)) << fresh.lastMessage();
        auto& dialog = fresh.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        auto& t = fresh.app->table();
        EXPECT_EQ(t.BOShadow, nullptr);
        EXPECT_EQ(fresh.platform.window(t)->borderStyle,
                  release == Release::R094Window ? ui::BorderStyle::FixedDialog : ui::BorderStyle::FixedSingle);
        const ui::Rect bo = t.BO.formRect();
        const ui::Point onBo{bo.left + 100, bo.top + 250};
        t.inputPointerDown(onBo, ui::mouse::kLeft, ui::modifier::kShift);
        t.inputPointerUp(onBo, ui::mouse::kLeft, ui::modifier::kShift);
        EXPECT_FALSE(t.BO.visible());
        const ui::PicturePtr one = t.I1.picture();
        fresh.platform.pressKey(kShift);
        const ui::Rect i1 = t.I1.formRect();
        t.inputPointerDown({i1.left + 300, i1.top + 300}, ui::mouse::kLeft, ui::modifier::kShift);
        t.inputPointerUp({i1.left + 300, i1.top + 300}, ui::mouse::kLeft, ui::modifier::kShift);
        EXPECT_EQ(t.I1.picture(), one) << "no Shift swap before release 0.99";
        EXPECT_FALSE(fresh.platform.quitCalled());
    }
}


// The control menu of an earlier release, open beside its table after GO.
class EarlierMenu : public ControlMenuTest {
protected:
    void SetUp() override {}
    void startAs(Release release) {
        auto lines = ProgramFolder::defaultOptions();
        lines.resize(static_cast<std::size_t>(day::optionsGroupLength(release)));
        program.folder.writeLines("Options.ini", lines);
        ASSERT_TRUE(program.start(release)) << program.lastMessage();
        startMatch();
    }
    // "OK" writes the score boxes as typed and the background into the holder; activation
    // takes the background swatch from the holder, not from the table.
    void checkOkAndActivation(bool setsTable) {
        menu->Text3.setText("abc");
        menu->Label5.setBackColor(0x00112233);
        const ui::Color before = table->backColor();
        pressOk(ui::mouse::kLeft, 0);
        EXPECT_EQ(table->T1.caption(), "abc");
        EXPECT_EQ(table->Label1.backColor(), 0x00112233u);
        EXPECT_EQ(table->backColor(), setsTable ? 0x00112233u : before);
        table->setBackColor(0x00445566);
        menu->Label5.setBackColor(0);
        menu->inputActivated();
        EXPECT_EQ(menu->Label5.backColor(), 0x00112233u);
    }
};

TEST_F(EarlierMenu, Release097OkKeepsTheTablesBackground) {
    startAs(Release::R097Window);
    checkOkAndActivation(false);
}

TEST_F(EarlierMenu, Release094OkSetsTheTablesBackgroundAndActivationLeavesTheColourLabels) {
    startAs(Release::R094Window);
    // The colour labels show what the menu's load gave them: the menu is loaded at start-up,
    // before the table's activation copies the settings into the holders, so they show the
    // holders' first tags, swatches 1 and 13, and 0.94's activation leaves them so.
    EXPECT_EQ(menu->SC1.caption(), menu->C1(1).tag());
    EXPECT_EQ(menu->SC1.backColor(), menu->C1(1).backColor());
    EXPECT_EQ(menu->SC2.caption(), menu->C1(13).tag());
    EXPECT_EQ(menu->SC2.backColor(), menu->C1(13).backColor());
    checkOkAndActivation(true);
    table->SC1.setFillColor(0x00ABCDEF);
    menu->inputActivated();
    EXPECT_EQ(menu->SC1.backColor(), menu->C1(1).backColor()) << "not read from the bar";
}

TEST_F(EarlierMenu, ScoreBoxDoubleClicksAndThe094ShiftVariantOfTheBarIconDoNothing) {
    startAs(Release::R094Window);
    menu->inputControlDoubleClick(menu->Text3);
    menu->inputControlDoubleClick(menu->Text4);
    EXPECT_TRUE(table->T1.visible());
    EXPECT_TRUE(table->T2.visible());
    press(menu->Picture1, ui::mouse::kLeft, ui::modifier::kShift);
    EXPECT_TRUE(table->LiveP1.visible());
    EXPECT_TRUE(table->LiveP2.visible());
    press(menu->Picture1, ui::mouse::kLeft, 0);
    EXPECT_FALSE(table->BO.visible());
}

TEST_F(EarlierMenu, SwatchClicksSetTheMainColourOfThePlayerTheSwatchBelongsTo) {
    startAs(Release::R097Window);
    press(menu->C1(12), ui::mouse::kMiddle, 0);
    EXPECT_NE(table->SC2.fillColor(), menu->C1(12).backColor()) << "a middle press is no click";
    press(menu->C1(12), ui::mouse::kLeft, 0);
    EXPECT_EQ(table->SC2.fillColor(), menu->C1(12).backColor());
    EXPECT_EQ(menu->SC2.caption(), menu->C1(12).tag());
    EXPECT_EQ(table->Label6.tag(), "12");
    EXPECT_EQ(program.app->settings().Player2Color.text, "12");
    press(menu->C1(3), ui::mouse::kLeft, 0);
    EXPECT_EQ(table->SC1.fillColor(), menu->C1(3).backColor());
    EXPECT_EQ(table->Label5.tag(), "3");
    EXPECT_EQ(table->SC12, nullptr) << "no second bars";
}

TEST_F(EarlierMenu, BarLayoutMovesTheMainBarsAndRelease094DoubleClickAlsoHidesThem) {
    startAs(Release::R094Window);
    const int top1 = table->SC1.rect().top;
    const int top2 = table->SC2.rect().top;
    press(menu->Picture4, ui::mouse::kLeft, 0);
    EXPECT_EQ(table->SC1.rect().top, top1 + 500);
    EXPECT_EQ(table->SC2.rect().top, top2 + 500);
    // The double-click's first click moves them back; the double-click hides both.
    doubleClick(menu->Picture4);
    EXPECT_EQ(table->SC1.rect().top, top1);
    EXPECT_FALSE(table->SC1.visible());
    EXPECT_FALSE(table->SC2.visible());
    doubleClick(menu->Picture4);
    EXPECT_TRUE(table->SC1.visible());
    EXPECT_TRUE(table->SC2.visible());
}

TEST_F(EarlierMenu, Release094CaptureTimerTakesTheBackgroundAndTheAppliedInterval) {
    startAs(Release::R094Window);
    menu->Label5.setBackColor(0x00204060);
    menu->Text6.setText("5");
    pressOk(ui::mouse::kLeft, 0);
    table->setBackColor(0x00000001);
    // The holder changed behind the menu's back: the next tick applies it.
    table->Label3.setCaption("3");
    program.platform.advance(500);
    EXPECT_EQ(table->backColor(), 0x00204060u);
    EXPECT_EQ(table->Timer3().interval(), 300);

    // A box that is not a number from 1 to 998 is set to "0", which stops the timer.
    for (const char* typed : {"999", "abc"}) {
        SCOPED_TRACE(typed);
        menu->Text6.setText(typed);
        table->Timer3().setInterval(300);
        program.platform.advance(300);
        EXPECT_EQ(menu->Text6.text(), "0");
        EXPECT_EQ(table->Timer3().interval(), 0);
    }
}

TEST_F(Releases, TheRemotePortraitsHideHidesBothPortraitsIn094WhereTheChordVTogglesThem) {
    start(Release::R094Window);
    go();
    table().I1.setVisible(false);  // one portrait hidden already
    const remote::Api api(remote::Endpoint{"127.0.0.1", 8421, ""});
    const auto admitted =
        api.admit({"POST", "/api/action/portraits-hide", "127.0.0.1:8421", "application/json", "", "{}", {}});
    ASSERT_TRUE(std::holds_alternative<remote::Command>(admitted));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(remote::Api::run(*program.app, std::get<remote::Command>(admitted)).status, 200);
        EXPECT_FALSE(table().I1.visible());
        EXPECT_FALSE(table().I2.visible());
    }
}

}  // namespace
}  // namespace quorvel::testing
