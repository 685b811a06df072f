// The control menu's portrait sets on the headless backend: the set buttons, refilling
// both thumbnail blocks, a thumbnail click putting its portrait on the table, and a
// missing portrait file.
#include "app/app.h"
#include "scenario/control_menu_fixture.h"

namespace quorvel::testing {
namespace {

using ui::mouse::kLeft;
using ui::mouse::kMiddle;
using ui::mouse::kRight;

class PortraitSetsTest : public ControlMenuTest {
protected:
    // The set folder every thumbnail of a block was loaded from, or "mixed".
    std::string blockSet(bool player1) {
        std::string set;
        for (int n = 0; n < control::ControlMenu::kThumbnails; ++n) {
            const ui::Image& thumbnail = player1 ? menu->img1(n) : menu->img2(n);
            const std::string& source = thumbnail.picture()->source();
            const std::string tail = "\\" + std::to_string(n) + ".gif";
            if (source.size() < tail.size() || source.compare(source.size() - tail.size(), tail.size(), tail) != 0)
                return "wrong number in " + source;
            const auto folder = source.rfind('\\', source.size() - tail.size() - 1);
            const std::string here = source.substr(folder + 1, source.size() - tail.size() - folder);
            if (n > 0 && here != set) return "mixed";
            set = here;
        }
        return set;
    }
};

TEST_F(PortraitSetsTest, DoubleClickOnPicture5EndsAtTheOriginSet) {
    doubleClick(menu->Picture5);
    EXPECT_EQ(table->Label4.caption(), "Origin\\");
    EXPECT_EQ(blockSet(true), "Origin\\");
    EXPECT_EQ(blockSet(false), "P2\\");
}

TEST_F(PortraitSetsTest, SetButtonPressesChooseTheSetAndAlwaysRefillBothBlocks) {
    // Player 1's holder changed behind the menu's back: any set press refills it too.
    table->Label4.setCaption("Origin\\");
    press(menu->Picture6, kRight, 0);
    EXPECT_EQ(table->Label5.caption(), "P2\\");
    EXPECT_EQ(blockSet(false), "P2\\");
    EXPECT_EQ(blockSet(true), "Origin\\");

    press(menu->Picture6, kLeft, 0);
    EXPECT_EQ(table->Label5.caption(), "P1\\");
    EXPECT_EQ(blockSet(false), "P1\\") << "both players may use the same set";
    table->Label5.setCaption("Origin\\");
    press(menu->Picture6, kMiddle, 0);
    EXPECT_EQ(table->Label5.caption(), "Origin\\") << "the middle button keeps the set";
    EXPECT_EQ(blockSet(false), "Origin\\") << "and still refills";
}

TEST_F(PortraitSetsTest, ThumbnailClickLoadsThatPortraitOntoTheTableAndKeepsThePortraitNumbers) {
    table->gennum1 = 4;
    table->gennum2 = 7;
    doubleClick(menu->Picture6);
    const auto table1 = table->I1.picture();
    std::string replaced = ProgramFolder::gifBytes();  // the file as it is now, not the thumbnail
    replaced[13] = '\x80';
    program.folder.write("pic/gen/Origin/12.gif", replaced);
    press(menu->img2(12), kLeft, 0);
    EXPECT_EQ(table->I2.picture()->source(), program.folder.path() + "\\pic\\gen\\Origin\\12.gif");
    EXPECT_NE(table->I2.picture(), menu->img2(12).picture()) << "loaded from disk again";
    press(menu->img1(3), kLeft, 0);
    EXPECT_EQ(table->I1.picture()->source(), program.folder.path() + "\\pic\\gen\\P1\\3.gif");
    EXPECT_NE(table->I1.picture(), table1);
    EXPECT_EQ(table->gennum1, 4);
    EXPECT_EQ(table->gennum2, 7);
}

TEST_F(PortraitSetsTest, AMissingPortraitFileStopsTheProgramWithAMessageNamingIt) {
    program.folder.remove("pic/gen/Origin/3.gif");
    doubleClick(menu->Picture5);
    EXPECT_TRUE(program.platform.quitCalled());
    EXPECT_NE(program.lastMessage().find("Origin\\3.gif"), std::string::npos) << program.lastMessage();
}

}  // namespace
}  // namespace quorvel::testing
