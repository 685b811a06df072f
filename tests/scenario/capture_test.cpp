// The table's window capture on the headless backend: Timer3 writes the table's image to
// the file of the control menu's settings, whole, as BMP or PNG with alpha, when it changed
// and never twice in a second; a failing file is reported once and stops them until "OK".
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app.h"
#include "scenario/control_menu_fixture.h"

namespace quorvel::testing {
namespace {

namespace fs = std::filesystem;
using ui::mouse::kLeft;

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB
    std::uint32_t argb(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    std::uint32_t at(int x, int y) const { return argb(x, y) & 0xFFFFFFu; }
};

std::uint32_t u32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// Reads an uncompressed 24-bit bottom-up BMP, checking what a viewer checks.
Decoded readBmp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Decoded d;
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || u32(b, 2) != b.size() || u32(b, 14) != 40 ||
        (u32(b, 26) & 0xFFFF) != 1 || (u32(b, 28) & 0xFFFF) != 24 || u32(b, 30) != 0) {
        ADD_FAILURE() << file << " is not a 24-bit BMP";
        return d;
    }
    d.width = static_cast<int>(u32(b, 18));
    d.height = static_cast<int>(u32(b, 22));
    const std::size_t offset = u32(b, 10);
    const std::size_t row = static_cast<std::size_t>(d.width * 3 + 3) / 4 * 4;
    if (offset + row * static_cast<std::size_t>(d.height) > b.size()) {
        ADD_FAILURE() << file << " is cut short";
        return {};
    }
    for (int y = 0; y < d.height; ++y) {
        const std::size_t start = offset + row * static_cast<std::size_t>(d.height - 1 - y);
        for (int x = 0; x < d.width; ++x) {
            const auto byte = [&](std::size_t i) {
                return static_cast<std::uint32_t>(static_cast<unsigned char>(b[start + static_cast<std::size_t>(x) * 3 + i]));
            };
            d.pixels.push_back(byte(2) << 16 | byte(1) << 8 | byte(0));  // stored blue, green, red
        }
    }
    return d;
}

Decoded readPng(const fs::path& file) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Decoded d;
    if (!png_image_begin_read_from_file(&png, file.c_str())) {
        ADD_FAILURE() << file << ": " << png.message;
        return d;
    }
    png.format = PNG_FORMAT_BGRA;  // as 0xAARRGGBB in memory
    d.width = static_cast<int>(png.width);
    d.height = static_cast<int>(png.height);
    d.pixels.resize(static_cast<std::size_t>(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, d.pixels.data(), 0, nullptr)) ADD_FAILURE() << file << ": " << png.message;
    return d;
}

// A pixel of the table, in its own client pixels, as a file holds it.
std::uint32_t expected(ui::Color colour) {
    return (ui::redOf(colour) << 16) | (ui::greenOf(colour) << 8) | ui::blueOf(colour);
}

class CaptureTest : public ControlMenuTest {
protected:
    fs::path defaultFile() const { return fs::path(program.folder.path()) / "screenshot.bmp"; }
    int saved() const { return program.platform.imagesSaved(); }
    static long long secondOf(const fs::path& file) {
        return std::chrono::file_clock::to_sys(fs::last_write_time(file)).time_since_epoch() / std::chrono::seconds(1);
    }
    int drawn() const { return program.platform.window(*table)->imagesDrawn; }
    // The operator types the path and the interval (tenths of a second) and presses "OK".
    void captureTo(const std::string& path, const std::string& tenths) {
        if (!path.empty()) menu->inputTextEdited(menu->Text5, path);
        menu->inputTextEdited(menu->Text6, tenths);
        pressOk(kLeft, 0);
    }
    // Checks the decoded picture against what the table shows: its size, background,
    // colour bars, plates and portraits.
    void expectTheTable(const Decoded& image) {
        ASSERT_EQ(image.width, 534);
        ASSERT_EQ(image.height, 84);
        EXPECT_EQ(image.at(300, 62), expected(table->backColor())) << "background";
        EXPECT_EQ(image.at(150, 14), expected(program.platform.resolveColor(table->SC1.fillColor()))) << "bar 1";
        EXPECT_EQ(image.at(400, 14), expected(table->SC2.fillColor())) << "bar 2";
        EXPECT_EQ(image.at(150, 24), expected(0x00404040)) << "name plate 1";
        EXPECT_EQ(image.at(30, 30), 0xFF0000u) << "player 1's portrait, a red picture";
        EXPECT_EQ(image.at(500, 30), 0xFF0000u) << "player 2's portrait";
    }
};

TEST_F(CaptureTest, IntervalZeroWritesNothing) {
    pressOk(kLeft, 0);
    program.platform.advance(5000);
    EXPECT_EQ(saved(), 0);
    EXPECT_FALSE(fs::exists(defaultFile()));
}

TEST_F(CaptureTest, AnIntervalWritesTheTablesPictureWholeToTheDefaultFileAndRewritesIt) {
    press(menu->C1(9), kLeft, 0);  // player 1's bar in the system face colour
    captureTo("", "5");            // 500 ms, to the path the menu shows at first
    EXPECT_EQ(menu->Text5.text(), program.folder.path() + "\\screenshot.bmp");
    program.platform.advance(499);
    EXPECT_FALSE(fs::exists(defaultFile()));
    program.platform.advance(1);
    ASSERT_TRUE(fs::exists(defaultFile()));
    expectTheTable(readBmp(defaultFile()));

    press(menu->C1(1), kLeft, 0);
    program.platform.advance(1000);
    EXPECT_EQ(saved(), 2) << "the change once, the unchanged table not again";
    const Decoded again = readBmp(defaultFile());
    ASSERT_EQ(again.width, 534);
    EXPECT_EQ(again.at(150, 14), 0xFF0000u) << "rewritten with the new colour";
    for (const auto& entry : fs::directory_iterator(program.folder.path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << "no temporary file is left";
}

TEST_F(CaptureTest, TypedMillisecondsCaptureAtMostOnceATenthOfASecond) {
    captureTo("", "50");                      // 5 s
    menu->inputTextEdited(menu->Text6, "1");  // typed, not applied: 1 ms
    EXPECT_EQ(table->Timer3().interval(), 1);
    program.platform.advance(1000);
    EXPECT_EQ(drawn(), 10);
    menu->inputTextEdited(menu->Text6, "99");
    program.platform.advance(990);
    EXPECT_EQ(drawn(), 15);
    pressOk(kLeft, 0);  // 9.9 s
    program.platform.advance(9900);
    EXPECT_EQ(drawn(), 16);
}

TEST_F(CaptureTest, CapturingGoesOnWhenTheMenuIsClosedAndOpenedAgain) {
    captureTo("", "5");
    program.platform.advance(1000);
    ASSERT_EQ(drawn(), 2);
    pressOk(ui::mouse::kRight, 0);  // applies and closes the menu
    ASSERT_FALSE(program.app->controlMenuLoaded());
    menu = &program.app->controlMenu();
    menu->show();  // the new menu copies the applied interval into its box, raw milliseconds
    EXPECT_EQ(menu->Text6.text(), "5");
    program.platform.advance(1000);
    EXPECT_GE(drawn(), 4) << "the capture goes on";
    EXPECT_LE(drawn(), 12) << "at most once a tenth of a second";
    EXPECT_TRUE(program.platform.messageBoxes().empty());
}

TEST_F(CaptureTest, AnIntervalTypedBeforeAnOkAppliedOneAboveZeroSetsTheTimerButWritesNothing) {
    for (const char* applied : {"", "0"}) {  // none yet; the path and the interval 0
        if (*applied) captureTo("", applied);
        menu->inputTextEdited(menu->Text6, "150");  // typed, not applied: milliseconds
        program.platform.advance(1000);
        EXPECT_EQ(table->Timer3().interval(), 150);
    }
    EXPECT_EQ(saved(), 0);
    pressOk(kLeft, 0);  // 15 s, to the path the menu shows
    program.platform.advance(15000);
    ASSERT_TRUE(fs::exists(defaultFile()));
    expectTheTable(readBmp(defaultFile()));
}

TEST_F(CaptureTest, APathEndingInPngWritesAPngSeeThroughWhereTheTableIsAndOpaqueWithAFrame) {
    const fs::path file = fs::path(program.folder.path()) / "table.PNG";
    for (const char* frame : {"0", "1"}) {
        if (*frame == '1') {  // the same table with a frame: the background is the same colour
            auto options = ProgramFolder::defaultOptions();
            options[12] = frame;
            program.folder.writeLines("Options.ini", options);
            ASSERT_TRUE(program.start()) << program.lastMessage();
            startMatch();
        }
        captureTo(program.folder.path() + "\\table.PNG", "1");
        program.platform.advance(1000);
        const Decoded image = readPng(file);
        expectTheTable(image);
        EXPECT_EQ(image.argb(300, 62) >> 24, *frame == '0' ? 0u : 255u) << "background, frame " << frame;
        EXPECT_EQ(image.argb(150, 14) >> 24, 255u) << "bar 1, frame " << frame;
    }
    EXPECT_FALSE(fs::exists(defaultFile()));
}

TEST_F(CaptureTest, AnUnchangedTableIsNotWrittenAgainAndEachChangeReachesTheFileInASecondOfItsOwn) {
    auto& clock = program.platform;
    captureTo("", "1");
    clock.advance(3000);
    EXPECT_EQ(saved(), 1);
    EXPECT_GE(drawn(), 29);
    fs::remove(defaultFile());
    pressOk(kLeft, 0);  // "OK" writes the file again
    clock.advance(1000 - clock.now() % 1000 + 50);  // 50 ms into a whole second
    ASSERT_TRUE(fs::exists(defaultFile()));
    const long long first = secondOf(defaultFile());
    press(menu->C1(1), kLeft, 0);
    clock.advance(100);
    EXPECT_EQ(secondOf(defaultFile()), first + 1) << "written at once in the next second";
    press(menu->C1(3), kLeft, 0);
    clock.advance(200);
    press(menu->C1(5), kLeft, 0);
    clock.advance(600);
    EXPECT_EQ(readBmp(defaultFile()).at(150, 14), 0xFF0000u) << "two changes in the same second wait";
    EXPECT_EQ(saved(), 3);
    clock.advance(200);
    EXPECT_EQ(saved(), 4) << "the latest picture, once, at the next second";
    EXPECT_EQ(secondOf(defaultFile()), first + 2);
    EXPECT_EQ(readBmp(defaultFile()).at(150, 14), expected(table->SC1.fillColor()));
}

TEST_F(CaptureTest, TheAppliedSavingGoesOnThroughBackToTheStartDialogAndTheNextGoUntilAnOkWithZero) {
    const fs::path file = fs::path(program.folder.path()) / "table.png";
    program.platform.answerColorDialog(ui::rgb(255, 0, 0));
    press(menu->Label5, kLeft, 0);
    for (const char* tenths : {"5", "0"}) {
        captureTo(file.string(), tenths);
        doubleClick(menu->Picture2);  // back to the start dialog, then GO!!!
        fs::remove(file);
        startMatch();
        EXPECT_EQ(std::pair(menu->Text5.text(), menu->Text6.text()), std::pair(file.string(), std::string(tenths)));
        if (*tenths == '5') EXPECT_EQ(table->Label1.backColor(), ui::rgb(255, 0, 0)) << "the background kept";
        program.platform.advance(500);
        EXPECT_EQ(fs::exists(file), *tenths == '5') << "the new match's table written at once, " << tenths;
    }
}

TEST_F(CaptureTest, AFailingFileIsReportedOnceAndCapturingResumesOnOk) {
    const std::string bad = program.folder.path() + "\\no such folder\\shot.bmp";
    captureTo(bad, "1");
    program.platform.advance(2000);
    ASSERT_EQ(program.app->notices().recent().size(), 1u);
    const std::string message = program.lastNotice();
    EXPECT_NE(message.find(bad), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    EXPECT_FALSE(program.platform.quitCalled());
    EXPECT_EQ(saved(), 0);

    // A file that cannot be replaced (a folder stands in its place) fails the same way.
    fs::create_directories(defaultFile());
    captureTo(program.folder.path() + "\\screenshot.bmp", "1");
    program.platform.advance(2000);
    ASSERT_EQ(program.app->notices().recent().size(), 2u);
    EXPECT_NE(program.lastNotice().find("screenshot.bmp"), std::string::npos);

    fs::remove(defaultFile());
    pressOk(kLeft, 0);
    program.platform.advance(100);
    EXPECT_EQ(saved(), 1);
    EXPECT_EQ(program.app->notices().recent().size(), 2u);
    expectTheTable(readBmp(defaultFile()));
}

}  // namespace
}  // namespace quorvel::testing
