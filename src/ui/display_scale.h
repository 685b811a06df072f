#pragma once
// The display scale of a monitor, and the one place where the program's own units meet
// the monitor's pixels. The program computes in twips and 96-DPI pixels (15 twips a pixel)
// whatever the display; a backend turns those into physical pixels where it places and
// paints a window, and turns the pointer, the screen and the operator's moves back.
//
// A physical pixel belongs to the side of an edge its centre lies on, both ways: the pixel
// painted as the first of a control is the pixel whose pointer position lands in that
// control. At 96 DPI every conversion is the identity.
#include <cstdint>

#include "ui/geometry.h"

namespace quorvel::ui {

class DisplayScale {
public:
    static constexpr int kBaseDpi = 96;

    constexpr DisplayScale() = default;
    // A DPI the system cannot tell (0 or less) counts as 96.
    constexpr explicit DisplayScale(int dpi) : dpi_(dpi > 0 ? dpi : kBaseDpi) {}

    constexpr int dpi() const { return dpi_; }
    constexpr bool unscaled() const { return dpi_ == kBaseDpi; }

    // The physical edge of an edge at `pixels` 96-DPI pixels; a length from 0 likewise.
    int toPhysical(int pixels) const;
    // The physical edge of an edge in twips, through the program's own pixels.
    int twipsToPhysical(int twips) const { return toPhysical(twipsToPixels(twips)); }
    // The 96-DPI pixel that a physical pixel's centre lies in: a pointer position, or an
    // edge the system or the operator placed.
    int toLogical(int physical) const;
    int physicalToTwips(int physical) const { return pixelsToTwips(toLogical(physical)); }
    // A font's height in physical pixels for its size in points.
    int fontHeight(double points) const;

    friend bool operator==(const DisplayScale&, const DisplayScale&) = default;

private:
    int dpi_ = kBaseDpi;
};

// Resamples a picture of 0xAARRGGBB pixels with premultiplied alpha, row by row, to
// another size: an average over each output pixel's footprint, so shrinking keeps every
// detail's share and enlarging interpolates between neighbours. With `crispEdges`, every
// output pixel is either fully transparent (all zero) or fully opaque with the picture's
// own colour, never part of the one and part of the other: on a window whose key colour
// is see-through, a half-transparent edge would be drawn as a blend with the key colour.
void resamplePicture(const std::uint32_t* source, int sourceWidth, int sourceHeight, std::uint32_t* target,
                     int targetWidth, int targetHeight, bool crispEdges);

}  // namespace quorvel::ui
