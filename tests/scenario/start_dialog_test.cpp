// The start dialog on the headless backend: the start-up chain, placing, the language
// box, GO, and the failures that end the start.
#include "start/start_dialog.h"

#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "table/score_table.h"

namespace quorvel::testing {
namespace {

using day::Release;

class StartDialogTest : public ::testing::Test {
protected:
    Program program;
    std::vector<std::string> options = ProgramFolder::defaultOptions();
    start::StartDialog& dialog() { return program.app->startDialog(); }
    void setOption(int line, const std::string& value) {
        options[static_cast<std::size_t>(line - 1)] = value;
        program.folder.writeLines("Options.ini", options);
    }
    void startOrFail() { ASSERT_TRUE(program.start()) << program.lastMessage(); }
};

TEST_F(StartDialogTest, StartUpFillsTheDialogFromTheFilesAndCreatesTheOtherWindowsHidden) {
    startOrFail();
    auto& d = dialog();
    EXPECT_TRUE(d.visible());
    EXPECT_EQ(d.Combo1.items(), (std::vector<std::string>{"Russian", "English", "German"}));
    EXPECT_EQ(d.Combo1.listIndex(), 1);
    EXPECT_EQ(d.Combo1.text(), "English");
    EXPECT_EQ(program.app->settings().Language.text, "English");
    EXPECT_EQ(d.Text1.text(), "Alexei") << "the name file's line replaces Options.ini line 2";
    EXPECT_EQ(d.Text2.text(), "Jonas");
    EXPECT_EQ(d.Text3.text(), "Best of 5");
    EXPECT_EQ(d.Color1.backColor(), ui::rgb(0x2F, 0x68, 0xFA)) << "swatch 2, Blue";
    EXPECT_EQ(d.Color2.backColor(), ui::rgb(0xFF, 0x00, 0x00)) << "swatch 11, Red";
    ASSERT_NE(d.picture(), nullptr);
    EXPECT_EQ(d.picture()->width(), 4) << "the logo was decoded";

    ASSERT_TRUE(program.app->controlMenuLoaded());
    ASSERT_TRUE(program.app->tableLoaded());
    auto& table = program.app->table();
    EXPECT_FALSE(table.visible());
    EXPECT_FALSE(program.app->controlMenu().visible());
    EXPECT_EQ(table.Combo1.listCount(), 200);
    EXPECT_EQ(table.Combo1.listIndex(), 174);
    EXPECT_EQ(table.LiveP1.caption(), "Country 174");
    ASSERT_NE(table.F1.picture(), nullptr);
    EXPECT_NE(table.F1.picture()->source().find("flags\\English\\Country 174.gif"), std::string::npos);
    EXPECT_NE(table.I1.picture()->source().find("gen\\P1\\12.gif"), std::string::npos);
    EXPECT_EQ(table.gennum1, 0);
    EXPECT_EQ(program.platform.activeForm(), &d);
}

TEST_F(StartDialogTest, DialogStartsAtTheTopCentreAndThePlacingButtonsMeasureTheScreen) {
    program.platform.setDesktopSize(1920, 1080);
    startOrFail();
    auto& d = dialog();
    EXPECT_EQ(d.clientWidth(), 7920);
    EXPECT_EQ(d.clientHeight(), 600);
    EXPECT_EQ(d.top(), 0);
    EXPECT_EQ(d.left(), 14400 - d.width() / 2);

    d.inputButtonClicked(d.Command3);
    ASSERT_EQ(program.platform.messageBoxes().size(), 1u);
    EXPECT_EQ(program.platform.messageBoxes()[0].text, "Размер экрана - 1920 x 1080");
    EXPECT_EQ(ui::twipsToPixels(d.top()), 972);
    EXPECT_EQ(d.left(), 14400 - d.width() / 2);

    program.platform.setDesktopSize(1280, 1024);
    d.inputButtonClicked(d.Command2);
    EXPECT_EQ(program.lastMessage(), "Размер экрана - 1280 x 1024");
    EXPECT_EQ(d.top(), 0);
    EXPECT_EQ(d.left(), 9600 - d.width() / 2);
}

TEST_F(StartDialogTest, LanguageIndexTwoSelectsTheThirdLanguage) {
    setOption(1, "2");
    startOrFail();
    EXPECT_EQ(dialog().Combo1.text(), "German");
    EXPECT_EQ(program.app->settings().Language.text, "German");
    EXPECT_EQ(program.app->table().LiveP2.caption(), "Land 174");
}

TEST_F(StartDialogTest, ThreeLineNameFileGivesItsThirdLineAndAnEmptyOneKeepsOptionsName) {
    program.folder.writeLines("Player1.txt", {"one", "two", "three"});
    program.folder.write("Player2.txt", "");
    startOrFail();
    EXPECT_EQ(dialog().Text1.text(), "three");
    EXPECT_EQ(dialog().Text2.text(), "Options Two");
    ProgramFolder elsewhere;  // a relative name file is taken from the current folder, else the program folder's
    program.platform.setCurrentFolder(elsewhere.path());
    elsewhere.remove("Player2.txt");
    startOrFail();
    EXPECT_EQ(dialog().Text1.text() + "|" + dialog().Text2.text(), "Alexei|Options Two");
    program.folder.remove("Player2.txt");
    EXPECT_FALSE(program.start());
}

TEST_F(StartDialogTest, PointingAtGoShowsTheLanguageInForceWhichChangesWhenTheBoxLosesFocus) {
    startOrFail();
    auto& d = dialog();
    d.inputListPicked(d.Combo1, 2);
    d.inputControlPointerMove(d.Command1, {10, 10}, 0, 0);
    EXPECT_EQ(d.Label2.caption(), "English");
    d.inputFocusLost(d.Combo1);
    d.inputControlPointerMove(d.Command1, {10, 10}, 0, 0);
    EXPECT_EQ(d.Label2.caption(), "German");
}

TEST_F(StartDialogTest, TypingInTheLanguageBoxRestoresTheSettingsAndListsEachLanguageOnce) {
    startOrFail();
    auto& d = dialog();
    d.inputTextEdited(d.Text1, "Typed name");
    d.inputListPicked(d.Combo1, 0);
    d.inputTextEdited(d.Combo1, "Russianx");
    EXPECT_EQ(d.Combo1.text(), "English");
    EXPECT_EQ(program.app->settings().Language.text, "English");
    EXPECT_EQ(d.Text1.text(), "Options One") << "names come from Options.ini lines 2 and 3, not the name files";
    EXPECT_EQ(d.Text2.text(), "Options Two");
    EXPECT_EQ(d.Combo1.items(), (std::vector<std::string>{"Russian", "English", "German"}));
    d.inputTextEdited(d.Combo1, "E");
    EXPECT_EQ(d.Combo1.listCount(), 3);
    EXPECT_EQ(d.Combo1.listIndex(), 0);
}

TEST_F(StartDialogTest, GoHandsTheMatchToTheTableAtTheDialogsPlaceAndClosesTheDialog) {
    setOption(13, "1");
    setOption(12, "255");
    startOrFail();
    auto& d = dialog();
    d.inputButtonClicked(d.Command3);
    const int left = d.left();
    const int top = d.top();
    d.inputTextEdited(d.Text1, "Red Baron");
    d.inputTextEdited(d.Text3, "Final");
    d.inputListPicked(d.Combo1, 0);
    d.inputButtonClicked(d.Command1);

    EXPECT_FALSE(program.app->startDialogLoaded());
    auto& table = program.app->table();
    auto* window = program.platform.window(table);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
    EXPECT_TRUE(window->topmost);
    EXPECT_EQ(window->borderStyle, ui::BorderStyle::FixedSingle);
    EXPECT_FALSE(window->layered);
    EXPECT_EQ(table.left(), left);
    EXPECT_EQ(table.top(), top);
    EXPECT_EQ(table.P1.caption(), "Red Baron");
    EXPECT_EQ(table.P2.caption(), "Jonas");
    EXPECT_EQ(table.BO.caption(), "Final");
    EXPECT_EQ(table.BOShadow->caption(), "Final");
    EXPECT_EQ(table.backColor(), 255u);
    EXPECT_EQ(table.Language1.caption(), "Russian");
    EXPECT_EQ(table.Combo1.listCount(), 200) << "refilled, not doubled";
    EXPECT_EQ(table.Combo1.listIndex(), 5);
    EXPECT_EQ(table.Combo2.listIndex(), 7);
    EXPECT_EQ(table.LiveP1.caption(), "Страна 5");
    EXPECT_EQ(table.LiveP2.caption(), "Страна 7");
    EXPECT_NE(table.F2.picture()->source().find("flags\\Russian\\Страна 7.gif"), std::string::npos);
    EXPECT_EQ(table.SC1.fillColor(), ui::rgb(0x2F, 0x68, 0xFA));
    EXPECT_EQ(table.SC2.fillColor(), ui::rgb(0xFF, 0x00, 0x00));
    EXPECT_EQ(table.Label5.tag(), "2") << "activation copies the colour indexes";
    EXPECT_EQ(table.Label6.tag(), "11");
}

TEST_F(StartDialogTest, FramelessTableIsSeeThroughAndKeepsTheBackgroundOfTheSettingsUntilActivated) {
    setOption(12, "65792");
    startOrFail();
    dialog().inputButtonClicked(dialog().Command1);
    auto& table = program.app->table();
    auto* window = program.platform.window(table);
    EXPECT_EQ(window->borderStyle, ui::BorderStyle::None);
    EXPECT_TRUE(window->layered);
    EXPECT_EQ(window->colorKey, ui::kSeeThroughKey);
    EXPECT_EQ(table.backColor(), 65792u);
    table.inputActivated();
    EXPECT_EQ(table.backColor(), ui::kSeeThroughKey);
}

TEST_F(StartDialogTest, ClosingTheDialogFromItsTitleBarEndsTheProgram) {
    startOrFail();
    dialog().inputCloseRequested();
    EXPECT_TRUE(program.platform.quitCalled());
    EXPECT_EQ(program.platform.exitCode(), 0);
    EXPECT_FALSE(program.app->tableLoaded());
    EXPECT_FALSE(program.app->controlMenuLoaded());
}

TEST_F(StartDialogTest, EarlierReleasesReadShorterSettingGroupsAndTheirOwnFrame) {
    auto lines = ProgramFolder::defaultOptions();
    lines.resize(11);
    program.folder.writeLines("Options.ini", lines);
    ASSERT_TRUE(program.start(Release::R097Window)) << program.lastMessage();
    dialog().inputButtonClicked(dialog().Command1);
    auto& table = program.app->table();
    EXPECT_EQ(table.BOShadow, nullptr);
    EXPECT_EQ(program.platform.window(table)->borderStyle, ui::BorderStyle::FixedSingle);
    EXPECT_FALSE(program.platform.window(table)->layered);
    EXPECT_EQ(table.backColor(), ui::rgb(0, 1, 1)) << "no background setting before release 0.99";
}

TEST_F(StartDialogTest, Release094PlacesTheDialogAtAFixedShareOfTheScreenWidth) {
    auto lines = ProgramFolder::defaultOptions();
    lines.resize(9);
    program.folder.writeLines("Options.ini", lines);
    ASSERT_TRUE(program.start(Release::R094Window)) << program.lastMessage();
    EXPECT_EQ(dialog().left(), 10176);  // 1920 x 5.3
    EXPECT_EQ(dialog().Text1.text(), "Options One") << "release 0.94 reads no name files";
}

struct StartFailure {
    std::string name;  // the case's name in the test list
    std::string file;
    std::vector<std::string> options;  // empty: the default settings
    std::string bytes;                 // replaces `file` unless `remove`
    bool remove;
    std::string expected;              // part of the message
};

// Failure output shows the case by its name and message, not as raw bytes.
void PrintTo(const StartFailure& failure, std::ostream* out) {
    *out << failure.name << " (expects \"" << failure.expected << "\")";
}

std::string failureName(const ::testing::TestParamInfo<StartFailure>& failure) { return failure.param.name; }

class StartFailures : public ::testing::TestWithParam<StartFailure> {};

TEST_P(StartFailures, EndTheProgramWithAMessageNamingTheFault) {
    Program program;
    const StartFailure& failure = GetParam();
    if (!failure.options.empty()) program.folder.writeLines("Options.ini", failure.options);
    if (failure.remove)
        program.folder.remove(failure.file);
    else if (!failure.file.empty())
        program.folder.write(failure.file, failure.bytes);
    EXPECT_FALSE(program.start());
    EXPECT_EQ(program.platform.exitCode(), 1);
    EXPECT_NE(program.lastMessage().find(failure.expected), std::string::npos) << program.lastMessage();
}

std::vector<std::string> optionsWith(int line, const std::string& value) {
    auto lines = ProgramFolder::defaultOptions();
    lines[static_cast<std::size_t>(line - 1)] = value;
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Start, StartFailures,
    ::testing::Values(
        StartFailure{"MissingLogo", "pic/LOGO.JPG", {}, "", true, "LOGO.JPG"},
        StartFailure{"BrokenLogo", "pic/LOGO.JPG", {}, "\xFF\xD8\xFF\xE0 broken", false, "LOGO.JPG"},
        StartFailure{"EmblemCutAfterItsSignature", "pic/battle.gif", {}, "GIF89a", false, "battle.gif"},
        StartFailure{"MissingLanguageList", "Languages.ini", {}, "", true, "Languages.ini"},
        StartFailure{"MissingPlayer2NameFile", "Player2.txt", {}, "", true, "Player2.txt"},
        StartFailure{"Player1ColourThatIsNotANumber", "", optionsWith(4, "blue"), "", false,
                     "line 4 (player 1 colour): \"blue\" is not a number"},
        StartFailure{"Player2ColourBeyondThePalette", "", optionsWith(5, "19"), "", false, "line 5"},
        StartFailure{"LanguageIndexBeyondTheList", "", optionsWith(1, "3"), "", false, "line 1 (language index)"},
        StartFailure{"FrameKindBeyondFive", "", optionsWith(13, "6"), "", false, "line 13"},
        StartFailure{"LanguageWithoutACountryFile", "Languages.ini", optionsWith(1, "0"), "Klingon\r\nEnglish\r\n",
                     false, "C_Klingon.dat"},
        StartFailure{"CountryFileWithFewerThan175Countries", "C_English.dat", {}, "only\r\na few\r\n", false,
                     "at least 175"}),
    failureName);

TEST(StartDialogGoFailures, ASavedCountryThatTheListDoesNotHoldFailsAtGo) {
    Program program;
    auto lines = ProgramFolder::defaultOptions();
    lines[5] = "200";
    program.folder.writeLines("Options.ini", lines);
    ASSERT_TRUE(program.start()) << program.lastMessage();
    program.app->startDialog().inputButtonClicked(program.app->startDialog().Command1);
    EXPECT_EQ(program.platform.exitCode(), 1);
    EXPECT_NE(program.lastMessage().find("line 6 (player 1 country)"), std::string::npos) << program.lastMessage();
}

}  // namespace
}  // namespace quorvel::testing
