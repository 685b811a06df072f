#include "day/palette.h"

#include <string_view>

namespace quorvel::day {

namespace {

// Player 1's half; player 2's is the same without the White.
constexpr std::array<Swatch, kFirstOfPlayer2> kPlayer1 = {{
    {"Gold", ui::rgb(0xDA, 0xFF, 0x09)},
    {"Red", ui::rgb(0xFF, 0x00, 0x00)},
    {"Blue", ui::rgb(0x2F, 0x68, 0xFA)},
    {"Green", ui::rgb(0x3E, 0xD2, 0x2D)},
    {"Orange", ui::rgb(0xFF, 0xA5, 0x14)},
    {"SkyBlue", ui::rgb(0x32, 0xD7, 0xE6)},
    {"Purple", ui::rgb(0x96, 0x00, 0xD2)},
    {"Pink", ui::rgb(0xFF, 0x96, 0xFF)},
    {"Dark", ui::rgb(0x00, 0x00, 0x00)},
    // Player 1's "White" is the system's 3-D face colour, not a fixed white.
    {"White", ui::system_color::kButtonFace},
}};

constexpr std::array<Swatch, kPaletteSize> bothHalves() {
    std::array<Swatch, kPaletteSize> palette{};
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = kPlayer1[i < kPlayer1.size() ? i : i - kPlayer1.size()];
    return palette;
}

}  // namespace

const std::array<Swatch, kPaletteSize> kPalette = bothHalves();

int swatchOnSide(int swatch, int player) {
    const std::string_view name = kPalette.at(static_cast<std::size_t>(swatch)).name;
    const int first = player == 1 ? 0 : kFirstOfPlayer2;
    const int end = player == 1 ? kFirstOfPlayer2 : kPaletteSize;
    for (int i = first; i < end; ++i)
        if (name == kPalette[static_cast<std::size_t>(i)].name) return i;
    return -1;
}

}  // namespace quorvel::day
