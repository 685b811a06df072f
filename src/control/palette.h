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
extern const std::array<Swatch, kPaletteSize> kPalette;

}  // namespace quorvel::control
