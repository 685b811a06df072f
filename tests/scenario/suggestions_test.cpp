// The roster's names offered under the name boxes as the operator types: order, bound,
// keys, click, focus, placement, and the releases without a roster.
#include <gtest/gtest.h>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using Rows = std::vector<std::string>;

class SuggestionsTest : public ::testing::Test {
protected:
    Program program;
    start::StartDialog* dialog = nullptr;
    ui::SuggestionList* list = nullptr;

    void start(std::vector<std::string> names, day::Release release = day::Release::R099) {
        names.insert(names.begin(), "name");
        program.folder.writeLines("Players.csv", names);
        ASSERT_TRUE(program.start(release)) << program.lastMessage();
        dialog = &program.app->startDialog();
        list = dialog->Text1.suggestions();
    }
    void type(const std::string& text) { dialog->inputTextEdited(dialog->Text1, text); }
    bool key(int k) { return dialog->inputKeyDown(dialog->Text1, k); }
    sim::SimSuggestionPopup& popup() { return *program.platform.popup(*list); }
};

TEST_F(SuggestionsTest, WordStartsMatchAnyCaseNamesBeginningFirstInFileOrderAtMostTen) {
    std::vector<std::string> names{"Max Peterson", "Petra", "xpeter", "Ivan Petrov", "PETER",
                                   "Пётр Иванов", "Иван Петров", "ПЕТЯ", "Max Ol"};
    for (int i = 1; i <= 12; ++i) names.push_back("Ol " + std::to_string(i));
    start(names);
    type("pe");
    EXPECT_EQ(popup().rows, (Rows{"Petra", "PETER", "Max Peterson", "Ivan Petrov"}));
    EXPECT_TRUE(popup().visible);
    type("пе");
    EXPECT_EQ(list->rows(), (Rows{"ПЕТЯ", "Иван Петров"})) << "Cyrillic folds; ё is no е";
    type("ИВ");
    EXPECT_EQ(list->rows(), (Rows{"Иван Петров", "Пётр Иванов"}));
    type("zz");
    EXPECT_FALSE(popup().visible);
    dialog->Text1.setText("Pe");
    EXPECT_FALSE(list->open()) << "the program's own text opens nothing";

    type("ol");
    ASSERT_EQ(list->rows().size(), 10u);
    EXPECT_EQ(list->rows().front(), "Ol 1");
    EXPECT_EQ(list->rows().back(), "Ol 10") << "the names beginning with it push the others out";
}

TEST_F(SuggestionsTest, KeysMoveTakeAndCloseAClickTakesTheFocusLossCloses) {
    start({"Anna", "Anton", "Andrei"});
    EXPECT_FALSE(key(ui::key::kDown)) << "no list: the box has the key";
    type("an");
    EXPECT_TRUE(key(ui::key::kDown));
    EXPECT_TRUE(key(ui::key::kDown));
    EXPECT_TRUE(key(ui::key::kUp));
    EXPECT_EQ(popup().highlighted, 0);
    EXPECT_TRUE(key(ui::key::kUp));
    EXPECT_EQ(list->highlighted(), -1) << "back to the text as typed";
    EXPECT_TRUE(key(ui::key::kUp));
    EXPECT_EQ(list->highlighted(), 2) << "wraps to the last row";
    EXPECT_TRUE(key(ui::key::kReturn));
    EXPECT_EQ(dialog->Text1.text(), "Andrei");
    EXPECT_FALSE(popup().visible);

    type("ant");
    EXPECT_TRUE(key(ui::key::kEscape));
    EXPECT_FALSE(list->open());
    EXPECT_EQ(dialog->Text1.text(), "ant");
    type("anx");
    EXPECT_FALSE(key(ui::key::kReturn)) << "no name matches: Enter is the box's";
    type("an");
    EXPECT_TRUE(key(ui::key::kReturn));
    EXPECT_EQ(dialog->Text1.text(), "an") << "a name in no roster is taken as typed";

    type("an");
    list->inputRowHovered(2);
    EXPECT_EQ(popup().highlighted, 2) << "the pointer over a row highlights it";
    popup().click(1);
    EXPECT_EQ(dialog->Text1.text(), "Anton");
    type("an");
    dialog->inputFocusLost(dialog->Text1);
    EXPECT_FALSE(popup().visible);
}

TEST_F(SuggestionsTest, ListGoesAboveTheBoxAtTheScreensBottomAndTheMenusBoxesHaveOne) {
    std::vector<std::string> names{"Anna"};
    for (int i = 1; i <= 9; ++i) names.push_back("An " + std::to_string(i));
    start(names);
    type("a");
    const ui::Rect under = popup().place;  // the dialog at the top: right under the box
    const int boxHeight = ui::twipsToPixels(dialog->Text1.rect().height);
    const int top = dialog->top();
    dialog->inputButtonClicked(dialog->Command3);  // to the bottom of the screen
    type("an");
    const int boxTop = under.top - boxHeight + ui::twipsToPixels(dialog->top() - top);
    EXPECT_EQ(popup().place.bottom(), boxTop);
    EXPECT_EQ(popup().place.height, 10 * sim::SimSuggestionPopup::kRowHeight + 2);

    auto& menu = program.app->controlMenu();
    ASSERT_NE(menu.Text2.suggestions(), nullptr);
    menu.inputTextEdited(menu.Text2, "ann");
    EXPECT_EQ(menu.Text2.suggestions()->rows(), Rows{"Anna"});
}

TEST_F(SuggestionsTest, EarlierReleasesOfferNothing) {
    auto options = ProgramFolder::defaultOptions();
    options.resize(static_cast<std::size_t>(day::optionsGroupLength(day::Release::R097Window)));
    program.folder.writeLines("Options.ini", options);
    start({"Anna"}, day::Release::R097Window);
    EXPECT_EQ(list, nullptr);
}

}  // namespace
}  // namespace quorvel::testing
