// The display scale: the program's twips and 96-DPI pixels against a monitor's pixels,
// and pictures resampled for it.
#include "ui/display_scale.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::ui {
namespace {

TEST(DisplayScaleTest, At96DpiEveryPixelStaysWhereTheProgramPutsIt) {
    const DisplayScale scale;
    for (int twips = -100; twips <= 100; ++twips) EXPECT_EQ(scale.twipsToPhysical(twips), twipsToPixels(twips));
    for (int pixels = -20; pixels <= 20; ++pixels) EXPECT_EQ(scale.toLogical(pixels), pixels);
    EXPECT_EQ(scale.fontHeight(9.75), 13);
}

TEST(DisplayScaleTest, At150PercentTheWindowsGrowAndTheScreenShrinksInTheProgramsPixels) {
    const DisplayScale scale(144);
    EXPECT_EQ(scale.twipsToPhysical(8010), 801) << "the table's 534 pixels";
    EXPECT_EQ(scale.twipsToPhysical(1260), 126);
    EXPECT_EQ(scale.toPhysical(528), 792) << "the start dialog";
    EXPECT_EQ(scale.toLogical(1920), 1280) << "the screen";
    EXPECT_EQ(scale.toLogical(1080), 720);
    EXPECT_EQ(scale.physicalToTwips(300), 3000) << "a drag of 300 physical pixels is 200 of the program's";
    EXPECT_EQ(scale.toLogical(-3), -2) << "left of the primary screen";
    EXPECT_EQ(scale.fontHeight(9.75), 20);
}

TEST(DisplayScaleTest, TheFirstPixelPaintedForAnEdgeIsTheFirstThePointerFindsPastIt) {
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        const DisplayScale scale(dpi);
        for (int edge = -40; edge <= 40; ++edge) {
            const int first = scale.toPhysical(edge);
            EXPECT_EQ(scale.toLogical(first), edge) << dpi << " DPI, edge " << edge;
            EXPECT_EQ(scale.toLogical(first - 1), edge - 1) << dpi << " DPI, edge " << edge;
        }
    }
}

// A 4 x 4 picture: a 2-pixel opaque red column on the left, transparent on the right.
std::vector<std::uint32_t> halfRed() {
    std::vector<std::uint32_t> pixels(16, 0);
    for (int y = 0; y < 4; ++y) pixels[y * 4] = pixels[y * 4 + 1] = 0xFFFF0000u;
    return pixels;
}

TEST(DisplayScaleTest, ResamplingIsSmoothButOnASeeThroughWindowEachPixelIsThePicturesOrTransparent) {
    const auto source = halfRed();
    std::vector<std::uint32_t> smooth(9 * 3);
    resamplePicture(source.data(), 4, 4, smooth.data(), 9, 3, false);
    EXPECT_EQ(smooth[0], 0xFFFF0000u);
    EXPECT_EQ(smooth[8], 0u);
    const std::uint32_t edge = smooth[4];
    EXPECT_GT(edge >> 24, 0u) << "the edge is half covered";
    EXPECT_LT(edge >> 24, 255u);

    std::vector<std::uint32_t> crisp(6 * 5);
    resamplePicture(source.data(), 4, 4, crisp.data(), 6, 5, true);
    int opaque = 0;
    for (std::uint32_t pixel : crisp) {
        EXPECT_TRUE(pixel == 0 || pixel == 0xFFFF0000u) << std::hex << pixel;
        opaque += pixel != 0;
    }
    EXPECT_EQ(opaque, 3 * 5) << "the left half";
}

}  // namespace
}  // namespace quorvel::ui
