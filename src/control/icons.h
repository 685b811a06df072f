#pragma once
// The control menu's own small pictures, drawn by the program: the icons of its picture
// buttons and the logo that opens the project's web page. Pixels are 0xAARRGGBB, row by
// row; alpha 0 lets the button's back colour show.
#include <cstdint>
#include <vector>

namespace quorvel::control {

struct Icon {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

Icon barIcon();         // a black horizontal bar: flags, country names, series caption
Icon diagonalIcon();    // a square split diagonally, black lower left, white upper right
Icon arrowIcon();       // a black arrow pointing left: back to the start dialog
Icon twoBarsIcon();     // two horizontal bars: the colour-bar layout
Icon swapIcon();        // two opposed arrows, right above and left below: swap the sides
Icon nextIcon();        // a head pointing right against a bar: the day's next match
Icon logo();            // 88 x 31: the product's name on a badge

}  // namespace quorvel::control
