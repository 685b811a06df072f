#pragma once
// The colour palette: 19 named colours, shown as the control menu's swatches. Swatches 0
// to 9 are player 1's choices, 10 to 18 player 2's; the colour settings, the roster's
// colours and the remote's picks are indexes into it.
#include <array>

#include "ui/color.h"

namespace quorvel::day {

struct Swatch {
    const char* name;
    ui::Color color;
};

constexpr int kPaletteSize = 19;
constexpr int kFirstOfPlayer2 = 10;  // swatches from here on are player 2's
extern const std::array<Swatch, kPaletteSize> kPalette;

// The swatch named as swatch `swatch` on player `player`'s half of the palette (1 or 2),
// or -1 when that half has no colour of the name (player 2's has no White).
int swatchOnSide(int swatch, int player);

}  // namespace quorvel::day
