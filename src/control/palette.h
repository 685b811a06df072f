#pragma once
// The colour palette: the control menu's 19 named swatches. Swatches 0 to 9 are player 1's
// choices, 10 to 18 player 2's; the colour settings are indexes into it.
#include <array>

#include "ui/color.h"
#include "ui/geometry.h"

namespace quorvel::control {

struct Swatch {
    const char* name;
    ui::Color color;
    ui::Rect rect;  // on the control menu, twips
};

constexpr int kPaletteSize = 19;
constexpr int kFirstOfPlayer2 = 10;  // swatches from here on are player 2's
extern const std::array<Swatch, kPaletteSize> kPalette;

// The swatch named as swatch `swatch` on player `player`'s half of the palette (1 or 2),
// or -1 when that half has no colour of the name (player 2's has no White).
int swatchOnSide(int swatch, int player);

}  // namespace quorvel::control
