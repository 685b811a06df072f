#include "control/palette.h"

#include <string_view>

namespace quorvel::control {

const std::array<Swatch, kPaletteSize> kPalette = {{
    {"Gold", ui::rgb(0xDA, 0xFF, 0x09), {0, 1680, 315, 315}},
    {"Red", ui::rgb(0xFF, 0x00, 0x00), {330, 1680, 315, 315}},
    {"Blue", ui::rgb(0x2F, 0x68, 0xFA), {645, 1680, 315, 315}},
    {"Green", ui::rgb(0x3E, 0xD2, 0x2D), {945, 1680, 315, 315}},
    {"Orange", ui::rgb(0xFF, 0xA5, 0x14), {1245, 1680, 315, 315}},
    {"SkyBlue", ui::rgb(0x32, 0xD7, 0xE6), {1545, 1680, 315, 315}},
    {"Purple", ui::rgb(0x96, 0x00, 0xD2), {1845, 1680, 315, 315}},
    {"Pink", ui::rgb(0xFF, 0x96, 0xFF), {2145, 1680, 315, 315}},
    {"Dark", ui::rgb(0x00, 0x00, 0x00), {2445, 1680, 315, 180}},
    // Player 1's "White" is the system's 3-D face colour, not a fixed white.
    {"White", ui::system_color::kButtonFace, {2445, 1860, 315, 180}},
    {"Gold", ui::rgb(0xDA, 0xFF, 0x09), {3255, 1680, 315, 315}},
    {"Red", ui::rgb(0xFF, 0x00, 0x00), {3570, 1680, 315, 315}},
    {"Blue", ui::rgb(0x2F, 0x68, 0xFA), {3885, 1680, 315, 315}},
    {"Green", ui::rgb(0x3E, 0xD2, 0x2D), {4185, 1680, 315, 315}},
    {"Orange", ui::rgb(0xFF, 0xA5, 0x14), {4485, 1680, 315, 315}},
    {"SkyBlue", ui::rgb(0x32, 0xD7, 0xE6), {4785, 1680, 315, 315}},
    {"Purple", ui::rgb(0x96, 0x00, 0xD2), {5085, 1680, 315, 315}},
    {"Pink", ui::rgb(0xFF, 0x96, 0xFF), {5385, 1680, 315, 315}},
    {"Dark", ui::rgb(0x00, 0x00, 0x00), {2940, 1680, 315, 180}},
}};

int swatchOnSide(int swatch, int player) {
    const std::string_view name = kPalette.at(static_cast<std::size_t>(swatch)).name;
    const int first = player == 1 ? 0 : kFirstOfPlayer2;
    const int end = player == 1 ? kFirstOfPlayer2 : kPaletteSize;
    for (int i = first; i < end; ++i)
        if (name == kPalette[static_cast<std::size_t>(i)].name) return i;
    return -1;
}

}  // namespace quorvel::control
