// The table's key chords and timers on the virtual clock: which key combinations act,
// how often a held chord repeats, the score and portrait rules of the poll, the repeat
// guard, the two pulses and their speed boxes.
#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using ui::key::kControl;
using ui::key::kShift;
using ui::key::kTab;

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(program.start()) << program.lastMessage(); }

    Program program;
    sim::SimPlatform& platform = program.platform;
    table::ScoreTable& table() { return program.app->table(); }
    control::ControlMenu& menu() { return program.app->controlMenu(); }

    void hold(std::initializer_list<int> keys) {
        for (int key : keys) platform.pressKey(key);
    }
    void release(std::initializer_list<int> keys) {
        for (int key : keys) platform.releaseKey(key);
    }
    // Advances the clock to `ms` milliseconds after the program started.
    void runUntil(long long ms) { platform.advance(ms - platform.now()); }
    // Lets the poll act once on what is held now, releases it, and waits out the guard.
    void chordOnce(std::initializer_list<int> keys) {
        hold(keys);
        platform.advance(10);
        release(keys);
        platform.advance(700);
    }
    std::string portrait1() const {
        const std::string& source = program.app->table().I1.picture()->source();
        return source.substr(source.find("\\pic\\gen\\"));
    }
};

TEST_F(Shortcuts, CtrlShiftOneRaisesTheScoreAndTheMenuBoxOnceThenAboutEvery610MsWhileHeld) {
    hold({kControl, kShift, '1'});
    runUntil(10);
    EXPECT_EQ(table().T1.caption(), "1");
    EXPECT_EQ(menu().Text3.text(), "1");
    EXPECT_FALSE(table().Timer1().enabled()) << "a changed score turns the poll off";
    runUntil(609);
    EXPECT_EQ(table().T1.caption(), "1");
    runUntil(610);
    EXPECT_EQ(table().T1.caption(), "2");
    runUntil(1219);
    EXPECT_EQ(table().T1.caption(), "2");
    runUntil(1220);
    EXPECT_EQ(table().T1.caption(), "3");
    EXPECT_EQ(menu().Text3.text(), "3");
    EXPECT_EQ(table().T2.caption(), "0");
    release({'1'});
    runUntil(5000);
    EXPECT_EQ(table().T1.caption(), "3");
    EXPECT_TRUE(table().Timer1().enabled());
    EXPECT_FALSE(table().Timer6().enabled());
}

TEST_F(Shortcuts, TabStandsForCtrlShiftButCtrlOrShiftAloneDoesNothing) {
    chordOnce({kTab, '2'});
    EXPECT_EQ(table().T2.caption(), "1");
    chordOnce({kControl, '2'});
    chordOnce({kShift, '2'});
    chordOnce({'2'});
    EXPECT_EQ(table().T2.caption(), "1");
    EXPECT_EQ(menu().Text4.text(), "1");
    chordOnce({kShift, kControl, '9'});
    EXPECT_EQ(table().T2.caption(), "0");
}

TEST_F(Shortcuts, KeyStatesAreCombinedBitwiseSoATabTappedSinceTheLastQueryCountsForTheFirstChord) {
    // Tab's "pressed since" bit is seen by the first chord only: its query clears it.
    platform.tapKey(kTab);
    platform.pressKey('Q');
    platform.advance(10);
    EXPECT_EQ(table().gennum1, 1);
    release({'Q'});
    platform.advance(700);
    platform.tapKey(kTab);
    platform.pressKey('1');
    platform.advance(10);
    EXPECT_EQ(table().T1.caption(), "0");
}

TEST_F(Shortcuts, AnIdleTickQueriesTheKeysInChordOrderAndChangesNothing) {
    platform.advance(700);  // past the guard's first run
    auto& tableWindow = *platform.window(table());
    auto& menuWindow = *platform.window(menu());
    const int tableRepaints = tableWindow.repaints;
    const int menuRepaints = menuWindow.repaints;
    const long long queries = platform.keyQueries();
    platform.recordKeyQueries(true);
    platform.advance(10);
    std::vector<int> expected;
    for (int key : {'Q', 'W', 'V', 'B', '1', '2', '8', '9', '0', '7', 'E', 'R', 'S', 'N'})
        expected.insert(expected.end(), {kControl, kShift, kTab, key});
    expected.insert(expected.end(), {kControl, kShift, 'I', kControl, kShift, kTab, 'A'});
    EXPECT_EQ(platform.queriedKeys(), expected);
    EXPECT_EQ(platform.keyQueries() - queries, 63);
    platform.recordKeyQueries(false);
    platform.advance(10000);
    EXPECT_EQ(tableWindow.repaints, tableRepaints);
    EXPECT_EQ(menuWindow.repaints, menuRepaints);
    EXPECT_EQ(platform.keyQueries() - queries, 63 * 1001);
}

TEST_F(Shortcuts, CtrlShiftIFoldsAndUnfoldsTheMenuButTabIDoesNot) {
    chordOnce({kTab, 'I'});
    EXPECT_EQ(menu().tag(), "0");
    EXPECT_EQ(menu().height(), control::ControlMenu::kCollapsedHeight);
    chordOnce({kControl, kShift, 'I'});
    EXPECT_EQ(menu().tag(), "1");
    EXPECT_EQ(table().Label1.caption(), "1");
    EXPECT_EQ(menu().height(), control::ControlMenu::kExpandedHeight);
    chordOnce({kControl, kShift, 'I'});
    EXPECT_EQ(menu().height(), control::ControlMenu::kCollapsedHeight);
    // Whatever sets the counter, the next tick follows its parity.
    menu().setTag("7");
    platform.advance(10);
    EXPECT_EQ(menu().height(), control::ControlMenu::kExpandedHeight);
    EXPECT_EQ(table().Label1.caption(), "7");
    menu().setTag("12");
    platform.advance(10);
    EXPECT_EQ(menu().height(), control::ControlMenu::kCollapsedHeight);
}

TEST_F(Shortcuts, ScoreDownOnZeroIsPutBackWithinTheTickWhileTheMenuBoxKeepsMinusOne) {
    platform.advance(700);
    chordOnce({kControl, kShift, '8'});
    EXPECT_EQ(table().T1.caption(), "0");
    EXPECT_EQ(menu().Text3.text(), "-1");
    EXPECT_TRUE(table().Timer1().enabled()) << "the score ends the tick unchanged";
    EXPECT_FALSE(table().Timer6().enabled());
}

TEST_F(Shortcuts, ScoresAreChangedAsNumbersAndTheMenuBoxFromItsOwnNumber) {
    table().T1.setCaption("2.5");
    menu().Text3.setText("10");
    chordOnce({kControl, kShift, '1'});
    EXPECT_EQ(table().T1.caption(), "3.5");
    EXPECT_EQ(menu().Text3.text(), "11");
}

TEST_F(Shortcuts, AMenuScoreBoxThatIsNotANumberIsLeftAsItIsWhileTheTableScoreChanges) {
    menu().Text4.setText("two");
    chordOnce({kControl, kShift, '2'});
    EXPECT_EQ(table().T2.caption(), "1");
    EXPECT_EQ(menu().Text4.text(), "two");
    chordOnce({kControl, kShift, '9'});
    EXPECT_EQ(table().T2.caption(), "0");
    EXPECT_EQ(menu().Text4.text(), "two");
    EXPECT_EQ(platform.messageBoxes().size(), 0u);
}

TEST_F(Shortcuts, ZeroResetsBothScoresAndBothMenuBoxesEvenWhenOnlyOneWasSet) {
    chordOnce({kControl, kShift, '2'});
    chordOnce({kControl, kShift, '2'});
    menu().Text3.setText("4");
    chordOnce({kControl, kShift, '0'});
    EXPECT_EQ(table().T1.caption(), "0");
    EXPECT_EQ(table().T2.caption(), "0");
    EXPECT_EQ(menu().Text3.text(), "0");
    EXPECT_EQ(menu().Text4.text(), "0");
}

TEST_F(Shortcuts, QThirteenTimesShowsPortraitsOneToTwelveThenZeroAndWLeavesPlayerOne) {
    for (int n = 1; n <= 12; ++n) {
        chordOnce({kControl, kShift, 'Q'});
        EXPECT_EQ(portrait1(), "\\pic\\gen\\P1\\" + std::to_string(n) + ".gif");
    }
    EXPECT_EQ(table().gennum1, -1) << "the number wraps once picture 12 is shown";
    chordOnce({kControl, kShift, 'Q'});
    EXPECT_EQ(portrait1(), "\\pic\\gen\\P1\\0.gif");
    chordOnce({kTab, 'W'});
    EXPECT_EQ(table().gennum2, 1);
    EXPECT_NE(table().I2.picture()->source().find("\\pic\\gen\\P2\\1.gif"), std::string::npos);
    EXPECT_EQ(portrait1(), "\\pic\\gen\\P1\\0.gif");
}

TEST_F(Shortcuts, AMissingPortraitEndsTheProgramNamingIt) {
    program.folder.remove("pic/gen/P2/1.gif");
    chordOnce({kControl, kShift, 'W'});
    EXPECT_EQ(platform.exitCode(), 1);
    EXPECT_NE(program.lastMessage().find("P2\\1.gif"), std::string::npos) << program.lastMessage();
}

TEST_F(Shortcuts, ChordsThatChangeNoScoreOrPortraitActOnEveryTickWhileHeld) {
    platform.advance(700);
    hold({kControl, kShift, 'E'});
    std::vector<bool> states;
    for (int i = 0; i < 4; ++i) {
        platform.advance(10);
        states.push_back(table().Timer4().enabled());
    }
    EXPECT_EQ(states, (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(table().Timer1().enabled());
    release({'E'});

    hold({'V'});
    platform.advance(10);
    EXPECT_FALSE(table().I1.visible());
    EXPECT_FALSE(table().I2.visible());
    EXPECT_TRUE(table().Timer1().enabled());
    release({'V'});

    const int topmost = platform.window(table())->topmostCalls;
    hold({'A'});
    platform.advance(30);
    EXPECT_EQ(platform.window(table())->topmostCalls, topmost + 3);
    release({'A', 'V'});
    chordOnce({'7'});
    EXPECT_EQ(table().P1.font().size, 14);
    EXPECT_EQ(table().P2.font().size, 14);
}

TEST_F(Shortcuts, AScoreSetRightByTheValidityRulesAloneArmsTheGuardSoTheChordsComeBack) {
    platform.advance(700);
    ASSERT_FALSE(table().Timer6().enabled());
    table().T2.setCaption("-3");
    platform.advance(10);
    EXPECT_EQ(table().T2.caption(), "0");
    EXPECT_FALSE(table().Timer1().enabled());
    EXPECT_TRUE(table().Timer6().enabled());
    platform.advance(600);
    EXPECT_TRUE(table().Timer1().enabled());
    table().T1.setCaption("seven");
    platform.advance(10);
    EXPECT_EQ(table().T1.caption(), "0");
    platform.advance(600);
    chordOnce({kControl, kShift, '1'});
    EXPECT_EQ(table().T1.caption(), "1");
}

TEST_F(Shortcuts, TheGuardRunsOnceAfterCreationAndTestsTheTopmostChordItself) {
    const int topmost = platform.window(table())->topmostCalls;
    platform.advance(599);
    EXPECT_TRUE(table().Timer6().enabled());
    platform.advance(1);
    EXPECT_FALSE(table().Timer6().enabled());
    EXPECT_EQ(platform.window(table())->topmostCalls, topmost);
    // A topmost chord arms the guard; the guard then places the table topmost again too.
    hold({kTab, 'A'});
    platform.advance(10);
    release({'A'});
    EXPECT_TRUE(table().Timer6().enabled());
    const int afterChord = platform.window(table())->topmostCalls;
    hold({'A'});
    platform.advance(600);
    EXPECT_GT(platform.window(table())->topmostCalls, afterChord + 50);
}

TEST_F(Shortcuts, TheChordsActOnTheHiddenTableBeforeGoAndGoShowsTheScore) {
    ASSERT_FALSE(table().visible());
    chordOnce({kControl, kShift, '1'});
    auto& dialog = program.app->startDialog();
    dialog.inputButtonClicked(dialog.Command1);
    EXPECT_TRUE(table().visible());
    EXPECT_EQ(table().T1.caption(), "1");
}

TEST_F(Shortcuts, AClosedControlMenuIsCreatedAgainHiddenAtTheNextTick) {
    menu().show();
    menu().inputCloseRequested();
    EXPECT_FALSE(program.app->controlMenuLoaded());
    platform.advance(10);
    ASSERT_TRUE(program.app->controlMenuLoaded());
    EXPECT_FALSE(menu().visible());
    EXPECT_EQ(menu().height(), control::ControlMenu::kCollapsedHeight);
}

// Levels the pulse shows, one per tick.
std::vector<int> greyLevels(sim::SimPlatform& platform, const ui::TextControl& label, int ticks) {
    std::vector<int> levels;
    for (int i = 0; i < ticks; ++i) {
        platform.advance(2);
        levels.push_back(static_cast<int>(label.foreColor() & 0xFF));
    }
    return levels;
}

TEST_F(Shortcuts, TheSeriesCaptionPulsesBetween5And250In98Ticks) {
    table().inttimer4.setText("1");
    ASSERT_EQ(table().Timer4().interval(), 2);
    const auto levels = greyLevels(platform, table().BO, 2 * 98 + 1);
    EXPECT_EQ(levels.front(), 250);
    EXPECT_EQ(levels[1], 245);
    EXPECT_EQ(*std::min_element(levels.begin(), levels.end()), 5);
    EXPECT_EQ(*std::max_element(levels.begin(), levels.end()), 250);
    EXPECT_EQ(levels[49], 5);
    EXPECT_EQ(levels[98], 250);
    EXPECT_EQ(levels[196], 250);
    for (std::size_t i = 1; i < levels.size(); ++i) EXPECT_EQ(std::abs(levels[i] - levels[i - 1]), 5) << i;
    EXPECT_EQ(table().BO.foreColor(), ui::rgb(250, 250, 250));
    EXPECT_EQ(table().BOShadow->foreColor(), 0u) << "the shadow keeps its colour";
}

TEST_F(Shortcuts, TheCountryNamesPulseTogetherBetween10And245In94Ticks) {
    table().inttimer5.setText("1");
    ASSERT_EQ(table().Timer5().interval(), 2);
    const auto levels = greyLevels(platform, table().LiveP1, 2 * 94 + 1);
    EXPECT_EQ(levels.front(), 245);
    EXPECT_EQ(*std::min_element(levels.begin(), levels.end()), 10);
    EXPECT_EQ(*std::max_element(levels.begin(), levels.end()), 245);
    EXPECT_EQ(levels[47], 10);
    EXPECT_EQ(levels[94], 245);
    EXPECT_EQ(levels[188], 245);
    EXPECT_EQ(table().LiveP2.foreColor(), table().LiveP1.foreColor());
}

TEST_F(Shortcuts, AStepOfBothPulsesRepaintsTheCaptionAndTheCountryNamesAndNothingElse) {
    table().inttimer4.setText("10");
    table().inttimer5.setText("10");  // both pulses step every 20 ms, at the same ticks
    platform.advance(100);
    auto& window = *platform.window(table());
    window.repaintedAreas.clear();
    platform.advance(20);
    const std::vector<ui::Rect> step{table().BO.formRect(), table().LiveP1.formRect(), table().LiveP2.formRect()};
    EXPECT_EQ(window.repaintedAreas, step);
}

TEST_F(Shortcuts, StoppingAPulseKeepsItsLevelAndDirection) {
    table().inttimer4.setText("1");
    platform.advance(20);
    hold({kControl, kShift, 'E'});
    platform.advance(10);
    release({'E'});
    ASSERT_FALSE(table().Timer4().enabled());
    const std::string level = table().BO.tag();
    platform.advance(700);
    EXPECT_EQ(table().BO.tag(), level);
    chordOnce({kControl, kShift, 'E'});
    EXPECT_TRUE(table().Timer4().enabled());
    EXPECT_LT(std::stoi(table().BO.tag()), std::stoi(level)) << "still going down";
}

TEST_F(Shortcuts, SpeedBoxesSetBothIntervalsAtTwiceTheWholePartAndAnEmptiedBoxBecomesOne) {
    auto& t = table();
    t.inttimer4.setText("7.9");
    EXPECT_EQ(t.Timer4().interval(), 14);
    EXPECT_EQ(t.Timer5().interval(), 0);
    t.inttimer5.setText("3");
    EXPECT_EQ(t.Timer5().interval(), 6);
    t.inttimer4.setText("");
    EXPECT_EQ(t.inttimer4.text(), "1");
    EXPECT_EQ(t.Timer4().interval(), 2);
    t.inttimer4.setText("0");
    EXPECT_EQ(t.Timer4().interval(), 0) << "0 stops the pulse";
    EXPECT_TRUE(t.Timer4().enabled()) << "without disabling its timer";
}

TEST_F(Shortcuts, ASpeedBoxWithoutAUsableNumberLeavesBothPulsesAsTheyWere) {
    auto& t = table();
    t.inttimer4.setText("5");
    t.inttimer5.setText("4");
    for (const char* bad : {"fast", "16384", "-1", "1e9", "5,5"}) {
        t.inttimer4.setText(bad);
        EXPECT_EQ(t.Timer4().interval(), 10) << bad;
        EXPECT_EQ(t.Timer5().interval(), 8) << bad;
    }
    t.inttimer4.setText("16383.9");
    EXPECT_EQ(t.Timer4().interval(), 32766);
    // A good change to one box keeps the other box's bad text from touching its pulse.
    t.inttimer5.setText("slow");
    t.inttimer4.setText("2");
    EXPECT_EQ(t.Timer4().interval(), 4);
    EXPECT_EQ(t.Timer5().interval(), 8);
    EXPECT_EQ(platform.messageBoxes().size(), 0u);
    EXPECT_FALSE(platform.quitCalled());
}

}  // namespace
}  // namespace quorvel::testing
