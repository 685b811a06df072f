// The program's twips and 96-DPI pixels against a monitor's pixels, and pictures resampled.
#include "ui/display_scale.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel::ui {
namespace {

TEST(DisplayScaleTest, At96DpiNothingMovesAndAt144TheWindowsGrowAndTheScreenShrinks) {
    for (int twips = -100; twips <= 100; ++twips) EXPECT_EQ(DisplayScale().twipsToPhysical(twips), twipsToPixels(twips));
    const DisplayScale scale(144);
    EXPECT_EQ(scale.twipsToPhysical(8010), 801) << "the table";
    EXPECT_EQ(scale.toLogical(1920), 1280) << "the screen";
    EXPECT_EQ(scale.physicalToTwips(300), 3000) << "a drag of 300 physical pixels is 200 of the program's";
    EXPECT_EQ(scale.fontHeight(9.75), 20);
}

TEST(DisplayScaleTest, TheFirstPixelPaintedPastAnEdgeIsTheFirstThePointerFindsPastIt) {
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        const DisplayScale scale(dpi);
        for (int edge = -40; edge <= 40; ++edge) {
            EXPECT_EQ(scale.toLogical(scale.toPhysical(edge)), edge) << dpi;
            EXPECT_EQ(scale.toLogical(scale.toPhysical(edge) - 1), edge - 1) << dpi;
        }
    }
}

TEST(DisplayScaleTest, ResamplingIsSmoothButForASeeThroughWindowEachPixelIsThePicturesOrClear) {
    std::vector<std::uint32_t> source(16, 0);  // 4 x 4: the left half opaque red
    for (int y = 0; y < 4; ++y) source[y * 4] = source[y * 4 + 1] = 0xFFFF0000u;
    std::vector<std::uint32_t> smooth(9 * 3);
    resamplePicture(source.data(), 4, 4, smooth.data(), 9, 3, false);
    EXPECT_EQ(smooth[4], 0x80800000u) << "half covered between the red and the clear";
    std::vector<std::uint32_t> crisp(6 * 5);
    resamplePicture(source.data(), 4, 4, crisp.data(), 6, 5, true);
    for (std::size_t i = 0; i < crisp.size(); ++i) EXPECT_EQ(crisp[i], i % 6 < 3 ? 0xFFFF0000u : 0u) << i;
}

}  // namespace
}  // namespace quorvel::ui
